// An index buffer in plain system memory (see FakeHardwareBuffer). Host thread.
#pragma once

#include "Render/FakeHardwareBuffer.h"

namespace Zel {

class FakeHardwareIndexBuffer final : public FakeHardwareBuffer<HardwareIndexBuffer> {
public:
    // manager: not owned, may be null; indexKind: IndexSize; usage: BufferUsage bits; device: the
    // owner word.
    FakeHardwareIndexBuffer(HardwareBufferManager* manager, std::uint32_t indexCount,
                            std::uint32_t indexKind, std::uint32_t usage, std::uint32_t poolCode,
                            RenderDevice* device)
        : FakeHardwareBuffer(manager, indexCount, indexKind, usage, true, false, poolCode, device) {
    }
    ZEL_CLASS_ID(FakeHardwareIndexBuffer)
};

}  // namespace Zel
