#include "Render/HardwareIndexBuffer.h"

#include <algorithm>

#include "Render/FakeHardwareIndexBuffer.h"
#include "Render/HardwareBufferManager.h"

namespace Zel {
namespace {

std::uint32_t IndexBytes(std::uint32_t count, std::uint32_t kind) {
    const std::uint64_t bytes = std::uint64_t(count) * (kind != IS_16BIT ? 4 : 2);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes, 0xFFFFFFFFu));
}

}  // namespace

HardwareIndexBuffer::HardwareIndexBuffer(HardwareBufferManager* manager, std::uint32_t indexCount,
                                         std::uint32_t indexKind, std::uint32_t usage,
                                         bool systemMemory, bool useShadow,
                                         std::uint32_t poolPreference, RenderDevice* device)
    : RenderResource(poolPreference, device),
      HardwareBuffer(IndexBytes(indexCount, indexKind), usage, systemMemory, useShadow),
      indexCount_(indexCount),
      indexKind_(indexKind),
      manager_(manager) {
    if (useShadow)
        SetShadow(std::make_unique<FakeHardwareIndexBuffer>(manager, indexCount, indexKind,
                                                            GetUsage(), poolPreference, device));
}

void HardwareIndexBuffer::Destroy() {
    if (manager_)
        manager_->DestroyIndexBuffer(this);
}

}  // namespace Zel
