#include "Render/d3d9/HardwareVertexBufferD3D9.h"

namespace Zel {

HardwareVertexBufferD3D9::HardwareVertexBufferD3D9(HardwareBufferManager* manager,
                                                   std::uint32_t sizeInBytes, std::uint32_t usage,
                                                   bool systemMemory, bool useShadow,
                                                   std::uint32_t poolPreference,
                                                   RenderDevice* device)
    : HardwareBufferD3D9(manager, sizeInBytes, usage, systemMemory, useShadow, poolPreference,
                         device) {
    CreateBuffer();
}

}  // namespace Zel
