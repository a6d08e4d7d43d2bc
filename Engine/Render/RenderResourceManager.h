// A manager of objects that live in device memory a lost device destroys (buffers, textures,
// GPU programs, text-box fonts). It registers with the RenderResourceRegistry in its constructor
// and unregisters in its destructor, so device loss and reset reach its objects.
#pragma once

namespace Zel {

class RenderResourceManager {
public:
    virtual ~RenderResourceManager() = default;
    // Releases the manager's default-pool device objects (the device was lost).
    virtual void OnLostDevice() = 0;
    // Rebuilds them after a successful reset.
    virtual void OnResetDevice() = 0;
    // Frees every object that only the manager still references.
    virtual void PurgeUnused() = 0;
};

}  // namespace Zel
