#include "Entity/Image/MyOutPutHandler.h"

#include <cstring>

namespace Zel {

void MyOutPutHandler::Reset() {
    destination_ = nullptr;
    capacity_ = 0;
    written_ = 0;
}

void MyOutPutHandler::SetDestination(std::uint8_t* destination, std::size_t capacity) {
    destination_ = destination;
    capacity_ = capacity;
    written_ = 0;
}

void MyOutPutHandler::beginImage(int, int, int, int, int, int) {}

bool MyOutPutHandler::writeData(const void* data, int size) {
    if (destination_ == nullptr || size < 0)
        return false;
    const std::size_t bytes = static_cast<std::size_t>(size);
    if (bytes > capacity_ - written_)
        return false;
    std::memcpy(destination_ + written_, data, bytes);
    written_ += bytes;
    return true;
}

}  // namespace Zel
