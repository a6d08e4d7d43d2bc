#include "Render/HardwareVertexBuffer.h"

#include <new>

#include "Render/FakeHardwareVertexBuffer.h"

namespace Zel {

HardwareVertexBuffer::HardwareVertexBuffer(HardwareBufferManager* manager,
                                           std::uint32_t sizeInBytes, std::uint32_t usage,
                                           bool systemMemory, bool useShadow,
                                           std::uint32_t poolPreference, RenderDevice* device)
    : RenderResource(poolPreference, device),
      HardwareBuffer(sizeInBytes, usage, systemMemory, useShadow),
      manager_(manager) {
    if (useShadow)
        SetShadow(std::make_unique<FakeHardwareVertexBuffer>(manager, sizeInBytes, GetUsage(),
                                                             poolPreference, device));
}

}  // namespace Zel
