#include "Render/HardwareBuffer.h"

namespace Zel {

void* HardwareBuffer::Lock(std::uint32_t offset, std::uint32_t length, std::uint32_t option) {
    void* data = LockImpl(offset, length, option);
    if (data) {
        locked_ = true;
        lockStart_ = offset;
        lockLength_ = length;
    }
    return data;
}

void HardwareBuffer::Unlock() {
    UnlockImpl();
    locked_ = false;
}

}  // namespace Zel
