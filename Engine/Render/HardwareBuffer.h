// The device-independent core of a hardware vertex or index buffer: its size, usage word, lock
// bookkeeping, an optional system-memory shadow copy and an append cursor. Lock and Unlock go to
// the device form's LockImpl and UnlockImpl, or to the shadow, which is copied to the device form
// on unlock. Host thread.
#pragma once

#include <cstdint>
#include <memory>

namespace Zel {

class HardwareBuffer {
public:
    // usage: BufferUsage bits. With useShadow, usage 2 (dynamic) becomes 6 and 1 (static) 5: the
    // device form is then only ever written.
    HardwareBuffer(std::uint32_t sizeInBytes, std::uint32_t usage, bool systemMemory,
                   bool useShadow);
    virtual ~HardwareBuffer();
    HardwareBuffer(const HardwareBuffer&) = delete;
    HardwareBuffer& operator=(const HardwareBuffer&) = delete;

    // Maps the whole buffer with a LockOption.
    virtual void* Lock(std::uint32_t option) { return Lock(0, sizeInBytes_, option); }
    // Maps length bytes from offset with a LockOption (through the shadow when there is one);
    // null when the range leaves the buffer (one logged error, checked before the locking form
    // or the shadow is asked) or the lock fails (reported by the locking form).
    // Only a successful lock records the range and raises the used size to its end; a
    // non-read-only lock of the shadow marks it updated.
    virtual void* Lock(std::uint32_t offset, std::uint32_t length, std::uint32_t option);
    // Unlocks; a written shadow is copied to the device form.
    virtual void Unlock();
    // Locked itself, or its shadow is.
    bool IsLocked() const;

    // Copy between the buffer and memory.
    virtual void ReadData(std::uint32_t offset, std::uint32_t length, void* destination) = 0;
    virtual void WriteData(std::uint32_t offset, std::uint32_t length, const void* source,
                           bool discardWholeBuffer) = 0;
    // Copies length bytes of source (read-only lock) to destinationOffset here.
    virtual void CopyData(HardwareBuffer& source, std::uint32_t sourceOffset,
                          std::uint32_t destinationOffset, std::uint32_t length,
                          bool discardWholeBuffer);
    // Copies the last locked range of a written shadow to the device form (with a discard lock
    // when the range is the whole buffer) and clears the shadow's updated mark.
    virtual void UpdateFromShadow();

    // The append cursor, in bytes from the start.
    void SetUsedSize(std::uint32_t bytes) { usedSize_ = bytes; }
    std::uint32_t GetUsedSize() const { return usedSize_; }
    // Bytes after the cursor (0 when the cursor is past the end).
    std::uint32_t GetFreeSize() const {
        return usedSize_ < sizeInBytes_ ? sizeInBytes_ - usedSize_ : 0;
    }
    // Locks everything after the cursor.
    void* LockRemaining(std::uint32_t option) { return LockAppend(GetFreeSize(), option); }
    // Locks length bytes at the cursor; null, nothing locked, when they do not fit.
    void* LockAppend(std::uint32_t length, std::uint32_t option);

    std::uint32_t GetSizeInBytes() const { return sizeInBytes_; }
    std::uint32_t GetUsage() const { return usage_; }
    bool IsSystemMemory() const { return systemMemory_; }
    bool UsesShadow() const { return useShadow_; }
    HardwareBuffer* GetShadow() const { return shadow_.get(); }
    bool IsShadowUpdated() const { return shadowUpdated_; }
    std::uint32_t GetLockStart() const { return lockStart_; }
    std::uint32_t GetLockLength() const { return lockLength_; }

protected:
    virtual void* LockImpl(std::uint32_t offset, std::uint32_t length, std::uint32_t option) = 0;
    virtual void UnlockImpl() = 0;
    // The derived constructor hands over the shadow it made (a system-memory buffer of the same
    // size and usage).
    void SetShadow(std::unique_ptr<HardwareBuffer> shadow) { shadow_ = std::move(shadow); }

    std::uint32_t sizeInBytes_;
    std::uint32_t lockStart_ = 0;
    std::uint32_t lockLength_ = 0;
    std::uint32_t usedSize_ = 0;
    std::uint32_t usage_;
    bool locked_ = false;
    bool systemMemory_;
    bool useShadow_;
    std::unique_ptr<HardwareBuffer> shadow_;
    bool shadowUpdated_ = false;
};

}  // namespace Zel
