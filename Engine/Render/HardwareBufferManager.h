// The manager of the hardware vertex and index buffers. As the owner of device objects it is
// registered with the render-resource registry of Globals from its construction to its
// destruction.
#pragma once

#include "Core/Object.h"
#include "Render/RenderResourceManager.h"

namespace Zel {

class HardwareBufferManager : public Object, public RenderResourceManager {
public:
    // Built by Globals::Init, host thread.
    HardwareBufferManager();
    ~HardwareBufferManager() override;
    ZEL_CLASS_ID(HardwareBufferManager)

    void OnLostDevice() override {}
    void OnResetDevice() override {}
    void PurgeUnused() override {}
};

}  // namespace Zel
