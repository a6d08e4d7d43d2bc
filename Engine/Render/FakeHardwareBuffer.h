// What the system-memory vertex and index buffers share: a byte array of the buffer's size that
// ReadData, WriteData and LockImpl reach after checking the range in 64 bits (an out-of-range call
// is reported with the class and operation names and touches nothing). They serve as shadow copies
// and as buffers where no device object is wanted; the notifications pass them by. Host thread.
#pragma once

#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "Core/LogDispatch.h"
#include "Render/HardwareIndexBuffer.h"
#include "Render/HardwareVertexBuffer.h"

namespace Zel {

template <class Base>
struct FakeHardwareBufferNames;

template <>
struct FakeHardwareBufferNames<HardwareVertexBuffer> {
    static constexpr const char* kReadData = "Zel::FakeHardwareVertexBuffer::ReadData";
    static constexpr const char* kWriteData = "Zel::FakeHardwareVertexBuffer::WriteData";
    static constexpr const char* kLockImpl = "Zel::FakeHardwareVertexBuffer::LockImpl";
};

template <>
struct FakeHardwareBufferNames<HardwareIndexBuffer> {
    static constexpr const char* kReadData = "Zel::FakeHardwareIndexBuffer::ReadData";
    static constexpr const char* kWriteData = "Zel::FakeHardwareIndexBuffer::WriteData";
    static constexpr const char* kLockImpl = "Zel::FakeHardwareIndexBuffer::LockImpl";
};

template <class Base>
class FakeHardwareBuffer : public Base {
public:
    using Names = FakeHardwareBufferNames<Base>;

    // The base's arguments with system memory on and no shadow; the array starts zeroed. An array
    // that cannot be allocated leaves a buffer of size 0 (reported).
    template <class... Args>
    explicit FakeHardwareBuffer(Args&&... args) : Base(std::forward<Args>(args)...) {
        bytes_.reset(new (std::nothrow) std::uint8_t[this->sizeInBytes_]());
        if (!bytes_) {
            LogError("%s: out of memory for %u bytes", this->GetClassName(), this->sizeInBytes_);
            this->sizeInBytes_ = 0;
        }
    }

    bool IsDefaultPool() const override { return false; }
    bool ReleaseDeviceObjects() override { return true; }
    bool RecreateDeviceObjects() override { return true; }

    void ReadData(std::uint32_t offset, std::uint32_t length, void* destination) override {
        if (InRange(offset, length, Names::kReadData))
            std::memcpy(destination, bytes_.get() + offset, length);
    }
    void WriteData(std::uint32_t offset, std::uint32_t length, const void* source,
                   bool /*discardWholeBuffer*/) override {
        if (InRange(offset, length, Names::kWriteData))
            std::memcpy(bytes_.get() + offset, source, length);
    }

    // The array itself, sizeInBytes_ bytes.
    const std::uint8_t* GetBytes() const { return bytes_.get(); }

protected:
    void* LockImpl(std::uint32_t offset, std::uint32_t length, std::uint32_t) override {
        return InRange(offset, length, Names::kLockImpl) ? bytes_.get() + offset : nullptr;
    }
    void UnlockImpl() override {}

private:
    bool InRange(std::uint32_t offset, std::uint32_t length, const char* operation) const {
        if (std::uint64_t(offset) + length <= this->sizeInBytes_)
            return true;
        LogError("%s::%s offset=%u length=%u size=%u", this->GetClassName(), operation, offset,
                 length, this->sizeInBytes_);
        return false;
    }

    std::unique_ptr<std::uint8_t[]> bytes_;
};

}  // namespace Zel
