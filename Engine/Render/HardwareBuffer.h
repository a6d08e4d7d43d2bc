// The device-independent core of a hardware vertex or index buffer: its size, usage word and lock
// bookkeeping. Lock and Unlock go to the device form's LockImpl and UnlockImpl. The buffer code
// adds the shadow copy and the append cursor on it. Host thread.
#pragma once

#include <cstdint>

namespace Zel {

class HardwareBuffer {
public:
    // usage: BufferUsage bits.
    HardwareBuffer(std::uint32_t sizeInBytes, std::uint32_t usage, bool systemMemory,
                   bool useShadow)
        : sizeInBytes_(sizeInBytes),
          usage_(usage),
          systemMemory_(systemMemory),
          useShadow_(useShadow) {}
    virtual ~HardwareBuffer() = default;
    HardwareBuffer(const HardwareBuffer&) = delete;
    HardwareBuffer& operator=(const HardwareBuffer&) = delete;

    // Maps length bytes from offset with a LockOption; null when the device form cannot lock
    // (reported there). On success the buffer is locked and remembers the range.
    void* Lock(std::uint32_t offset, std::uint32_t length, std::uint32_t option);
    // The whole buffer.
    void* Lock(std::uint32_t option) { return Lock(0, sizeInBytes_, option); }
    void Unlock();

    // Copies between the buffer and memory through a lock (read-only, or discard when asked).
    virtual void ReadData(std::uint32_t offset, std::uint32_t length, void* destination) = 0;
    virtual void WriteData(std::uint32_t offset, std::uint32_t length, const void* source,
                           bool discard) = 0;

    std::uint32_t GetSizeInBytes() const { return sizeInBytes_; }
    std::uint32_t GetUsage() const { return usage_; }
    bool IsSystemMemory() const { return systemMemory_; }
    bool UsesShadow() const { return useShadow_; }
    bool IsLocked() const { return locked_; }
    std::uint32_t GetLockStart() const { return lockStart_; }
    std::uint32_t GetLockLength() const { return lockLength_; }

protected:
    virtual void* LockImpl(std::uint32_t offset, std::uint32_t length, std::uint32_t option) = 0;
    virtual void UnlockImpl() = 0;

    std::uint32_t sizeInBytes_;
    std::uint32_t lockStart_ = 0;
    std::uint32_t lockLength_ = 0;
    std::uint32_t usage_;
    bool locked_ = false;
    bool systemMemory_;
    bool useShadow_;
};

}  // namespace Zel
