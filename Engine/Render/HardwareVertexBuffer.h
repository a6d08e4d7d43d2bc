// A vertex buffer: a render resource with the hardware-buffer core and a reference count (1 at
// construction, the manager's). Made and destroyed only by HardwareBufferManager; the Direct3D 9
// form supplies the device object, the fake form plain memory. Host thread.
#pragma once

#include "Core/RefCountedObj.h"
#include "Render/HardwareBuffer.h"
#include "Render/RenderResource.h"

namespace Zel {

class HardwareBufferManager;

class HardwareVertexBuffer : public RenderResource, public HardwareBuffer, public RefCountedObj {
public:
    // manager: the owning manager (not owned, may be null); usage: BufferUsage bits. With
    // useShadow the buffer makes and owns a system-memory shadow of the same size.
    HardwareVertexBuffer(HardwareBufferManager* manager, std::uint32_t sizeInBytes,
                         std::uint32_t usage, bool systemMemory, bool useShadow,
                         std::uint32_t poolPreference, RenderDevice* device);
    ~HardwareVertexBuffer() override = default;
    ZEL_CLASS_ID(HardwareVertexBuffer)

    HardwareBufferManager* GetManager() const { return manager_; }

private:
    HardwareBufferManager* manager_;
};

}  // namespace Zel
