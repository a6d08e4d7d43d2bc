#include "Render/HardwareBuffer.h"

#include <algorithm>
#include <cstring>

#include "Core/LogDispatch.h"
#include "Render/RenderCodes.h"

namespace Zel {
namespace {

std::uint32_t ShadowedUsage(std::uint32_t usage, bool useShadow) {
    if (!useShadow)
        return usage;
    if (usage == BU_DYNAMIC)
        return BU_DYNAMIC | BU_WRITE_ONLY;
    if (usage == BU_STATIC)
        return BU_STATIC | BU_WRITE_ONLY;
    return usage;
}

}  // namespace

HardwareBuffer::HardwareBuffer(std::uint32_t sizeInBytes, std::uint32_t usage, bool systemMemory,
                               bool useShadow)
    : sizeInBytes_(sizeInBytes),
      usage_(ShadowedUsage(usage, useShadow)),
      systemMemory_(systemMemory),
      useShadow_(useShadow) {}

HardwareBuffer::~HardwareBuffer() = default;

void* HardwareBuffer::Lock(std::uint32_t offset, std::uint32_t length, std::uint32_t option) {
    // Refused before anything is locked: a device lock of a range past the end may already have
    // handed out memory the caller would write beyond.
    if (std::uint64_t(offset) + length > sizeInBytes_) {
        LogError("HardwareBuffer::Lock offset=%u length=%u size=%u: the range leaves the buffer",
                 offset, length, sizeInBytes_);
        return nullptr;
    }
    void* data = nullptr;
    if (shadow_) {
        data = shadow_->Lock(offset, length, option);
    } else {
        data = LockImpl(offset, length, option);
        if (data)
            locked_ = true;
    }
    if (!data)
        return nullptr;
    if (shadow_ && option != LO_READ_ONLY)
        shadowUpdated_ = true;
    lockStart_ = offset;
    lockLength_ = length;
    usedSize_ = std::max(usedSize_, offset + length);
    return data;
}

void HardwareBuffer::Unlock() {
    if (useShadow_ && shadow_ && shadow_->IsLocked()) {
        shadow_->Unlock();
        UpdateFromShadow();
        return;
    }
    UnlockImpl();
    locked_ = false;
}

bool HardwareBuffer::IsLocked() const {
    return locked_ || (shadow_ && shadow_->IsLocked());
}

void HardwareBuffer::CopyData(HardwareBuffer& source, std::uint32_t sourceOffset,
                              std::uint32_t destinationOffset, std::uint32_t length,
                              bool discardWholeBuffer) {
    const void* data = source.Lock(sourceOffset, length, LO_READ_ONLY);
    if (!data)
        return;
    WriteData(destinationOffset, length, data, discardWholeBuffer);
    source.Unlock();
}

void HardwareBuffer::UpdateFromShadow() {
    if (!useShadow_ || !shadow_ || !shadowUpdated_)
        return;
    const void* source = shadow_->LockImpl(lockStart_, lockLength_, LO_READ_ONLY);
    if (!source)
        return;
    const bool whole = lockStart_ == 0 && lockLength_ == sizeInBytes_;
    if (void* destination = LockImpl(lockStart_, lockLength_, whole ? LO_DISCARD : LO_NORMAL)) {
        std::memcpy(destination, source, lockLength_);
        UnlockImpl();
    }
    shadow_->UnlockImpl();
    shadowUpdated_ = false;
}

void* HardwareBuffer::LockAppend(std::uint32_t length, std::uint32_t option) {
    if (length > GetFreeSize())
        return nullptr;
    return Lock(usedSize_, length, option);
}

}  // namespace Zel
