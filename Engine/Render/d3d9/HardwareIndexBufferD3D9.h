// An index buffer of 16- or 32-bit indices in Direct3D 9 memory (see HardwareBufferD3D9 for the
// pool, loss and locking). Made only through GraphicsAPIManagerD3D9::NewIndexBuffer. Host thread.
#pragma once

#include "Render/d3d9/HardwareBufferD3D9.h"

namespace Zel {

class HardwareIndexBufferD3D9 final : public HardwareBufferD3D9<HardwareIndexBuffer> {
public:
    // indexKind: IndexSize; usage: BufferUsage bits; poolPreference: MemoryPool; device: a
    // RenderDeviceD3D9. Creation failures are logged, never thrown.
    HardwareIndexBufferD3D9(HardwareBufferManager* manager, std::uint32_t indexCount,
                            std::uint32_t indexKind, std::uint32_t usage, bool systemMemory,
                            bool useShadow, std::uint32_t poolPreference, RenderDevice* device);
    ~HardwareIndexBufferD3D9() override = default;
    ZEL_CLASS_ID(HardwareIndexBufferD3D9)
};

}  // namespace Zel
