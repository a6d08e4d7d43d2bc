#include "Core/IZelFileStream.h"

#include <cstring>
#include <new>

namespace Zel {

IZelFileStream::IZelFileStream(std::string name, std::uint32_t size)
    : IZelStream(std::move(name)),
      bytes_(size ? new (std::nothrow) std::uint8_t[size] : nullptr),
      size_(bytes_ ? size : 0),
      hasData_(size == 0 || bytes_ != nullptr) {}

const std::uint8_t* IZelFileStream::GetCurrentPointer() {
    return Tell() <= size_ ? bytes_.get() + Tell() : nullptr;
}

std::uint32_t IZelFileStream::ReadSource(void* buffer, std::uint32_t position, std::uint32_t n) {
    std::memcpy(buffer, bytes_.get() + position, n);
    return n;
}

}  // namespace Zel
