// Which vertex buffer feeds each of the 16 streams of a draw, with its stride and the byte offset
// of the data. Each slot holds a counted reference to its buffer, so the manager's purge keeps a
// bound buffer. The device binds every slot that has a buffer and a stride. Made by
// HardwareBufferManager::CreateVertexBufferBinding. Host thread.
#pragma once

#include <cstdint>

#include "Core/Object.h"
#include "Core/SharedPtr.h"
#include "Render/HardwareVertexBuffer.h"

namespace Zel {

class HardwareBufferManager;

class VertexBufferBinding : public Object {
public:
    static constexpr std::uint32_t kStreamCount = 16;

    struct Slot {
        SharedPtr<HardwareVertexBuffer> buffer;
        std::uint32_t stride = 0;  // bytes
        std::uint32_t offset = 0;  // bytes
    };

    // manager: the maker (not owned; may be null).
    explicit VertexBufferBinding(HardwareBufferManager* manager = nullptr) : manager_(manager) {}
    ~VertexBufferBinding() override = default;
    ZEL_CLASS_ID(VertexBufferBinding)

    // Takes a reference to the buffer (null empties the slot). A stream of 16 or more is ignored.
    void SetBinding(std::uint32_t stream, HardwareVertexBuffer* buffer, std::uint32_t stride,
                    std::uint32_t offset = 0) {
        if (stream >= kStreamCount)
            return;
        slots_[stream].buffer.Assign(buffer);
        slots_[stream].stride = stride;
        slots_[stream].offset = offset;
    }
    // stream below kStreamCount.
    const Slot& GetSlot(std::uint32_t stream) const { return slots_[stream]; }
    HardwareBufferManager* GetManager() const { return manager_; }

private:
    HardwareBufferManager* manager_;
    Slot slots_[kStreamCount];
};

}  // namespace Zel
