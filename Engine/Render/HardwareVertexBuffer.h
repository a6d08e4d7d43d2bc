// A vertex buffer: a render resource with the hardware-buffer core and a reference count. Made and
// destroyed only by HardwareBufferManager through the graphics-API manager; the Direct3D 9 form
// supplies the device object. Host thread.
#pragma once

#include "Core/RefCountedObj.h"
#include "Render/HardwareBuffer.h"
#include "Render/RenderResource.h"

namespace Zel {

class HardwareBufferManager;

class HardwareVertexBuffer : public RenderResource, public HardwareBuffer, public RefCountedObj {
public:
    // manager: the owning manager (not owned, may be null); usage: BufferUsage bits.
    HardwareVertexBuffer(HardwareBufferManager* manager, std::uint32_t sizeInBytes,
                         std::uint32_t usage, bool systemMemory, bool useShadow,
                         std::uint32_t poolPreference, RenderDevice* device)
        : RenderResource(poolPreference, device),
          HardwareBuffer(sizeInBytes, usage, systemMemory, useShadow),
          manager_(manager) {}
    ~HardwareVertexBuffer() override = default;
    ZEL_CLASS_ID(HardwareVertexBuffer)

    HardwareBufferManager* GetManager() const { return manager_; }

private:
    HardwareBufferManager* manager_;
};

}  // namespace Zel
