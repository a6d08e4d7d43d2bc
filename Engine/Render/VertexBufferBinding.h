// Which vertex buffer feeds each of the 16 streams of a draw, with its stride and the byte offset
// of the data. The device binds every slot that has a buffer and a stride. The buffer manager
// makes bindings and the buffer code gives the slots their references. Host thread.
#pragma once

#include <cstdint>

#include "Core/Object.h"

namespace Zel {

class HardwareVertexBuffer;

class VertexBufferBinding : public Object {
public:
    static constexpr std::uint32_t kStreamCount = 16;

    struct Slot {
        HardwareVertexBuffer* buffer = nullptr;  // not owned
        std::uint32_t stride = 0;                // bytes
        std::uint32_t offset = 0;                // bytes
    };

    VertexBufferBinding() = default;
    ~VertexBufferBinding() override = default;
    ZEL_CLASS_ID(VertexBufferBinding)

    // A stream of 16 or more is ignored.
    void SetBinding(std::uint32_t stream, HardwareVertexBuffer* buffer, std::uint32_t stride,
                    std::uint32_t offset = 0) {
        if (stream < kStreamCount)
            slots_[stream] = Slot{buffer, stride, offset};
    }
    // stream below kStreamCount.
    const Slot& GetSlot(std::uint32_t stream) const { return slots_[stream]; }

private:
    Slot slots_[kStreamCount];
};

}  // namespace Zel
