#include "Render/d3d9/HardwareIndexBufferD3D9.h"

namespace Zel {

HardwareIndexBufferD3D9::HardwareIndexBufferD3D9(HardwareBufferManager* manager,
                                                 std::uint32_t indexCount, std::uint32_t indexKind,
                                                 std::uint32_t usage, bool systemMemory,
                                                 bool useShadow, std::uint32_t poolPreference,
                                                 RenderDevice* device)
    : HardwareBufferD3D9(manager, indexCount, indexKind, usage, systemMemory, useShadow,
                         poolPreference, device) {
    CreateBuffer();
}

}  // namespace Zel
