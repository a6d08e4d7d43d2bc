// A vertex buffer in Direct3D 9 memory (see HardwareBufferD3D9 for the pool, loss and locking).
// Made only through GraphicsAPIManagerD3D9::NewVertexBuffer. Host thread.
#pragma once

#include "Render/d3d9/HardwareBufferD3D9.h"

namespace Zel {

class HardwareVertexBufferD3D9 final : public HardwareBufferD3D9<HardwareVertexBuffer> {
public:
    // usage: BufferUsage bits; poolPreference: MemoryPool; device: a RenderDeviceD3D9 (the buffer
    // has no Direct3D buffer without one). Creation failures are logged, never thrown.
    HardwareVertexBufferD3D9(HardwareBufferManager* manager, std::uint32_t sizeInBytes,
                             std::uint32_t usage, bool systemMemory, bool useShadow,
                             std::uint32_t poolPreference, RenderDevice* device);
    ~HardwareVertexBufferD3D9() override = default;
    ZEL_CLASS_ID(HardwareVertexBufferD3D9)
};

}  // namespace Zel
