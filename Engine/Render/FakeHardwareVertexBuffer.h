// A vertex buffer in plain system memory (see FakeHardwareBuffer). Host thread.
#pragma once

#include "Render/FakeHardwareBuffer.h"

namespace Zel {

class FakeHardwareVertexBuffer final : public FakeHardwareBuffer<HardwareVertexBuffer> {
public:
    // manager: not owned, may be null; usage: BufferUsage bits; device: the owner word.
    FakeHardwareVertexBuffer(HardwareBufferManager* manager, std::uint32_t sizeInBytes,
                             std::uint32_t usage, std::uint32_t poolCode, RenderDevice* device)
        : FakeHardwareBuffer(manager, sizeInBytes, usage, true, false, poolCode, device) {}
    ZEL_CLASS_ID(FakeHardwareVertexBuffer)
};

}  // namespace Zel
