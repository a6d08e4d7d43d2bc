#include "Core/IZelStream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "Core/LogDispatch.h"

namespace Zel {

void IZelStream::Release() {
    delete this;
}

bool IZelStream::Seek(std::int64_t offset, int origin) {
    const std::int64_t size = GetSize();
    std::int64_t target;
    switch (origin) {
        case STREAM_SEEK_SET:
            target = offset;
            break;
        case STREAM_SEEK_CUR:
            target = static_cast<std::int64_t>(position_) + offset;
            break;
        case STREAM_SEEK_END:
            target = size - offset;
            break;
        default:
            return false;
    }
    if (target < 0 || target > size) {
        LogOverrun();
        return false;
    }
    position_ = static_cast<std::uint32_t>(target);
    SeekSource(position_);
    return true;
}

std::uint32_t IZelStream::Read(void* buffer, std::uint32_t size, std::uint32_t count) {
    const std::uint64_t total = static_cast<std::uint64_t>(size) * count;
    if (total > std::numeric_limits<std::uint32_t>::max()) {
        LogOverrun();
        return 0;
    }
    return Read(buffer, static_cast<std::uint32_t>(total));
}

std::uint32_t IZelStream::Read(void* buffer, std::uint32_t n) {
    if (n == 0)
        return 0;
    const std::uint32_t size = GetSize();
    const std::uint32_t inRange = position_ < size ? std::min(n, size - position_) : 0;
    const std::uint32_t delivered = inRange ? ReadSource(buffer, position_, inRange) : 0;
    std::memset(static_cast<std::uint8_t*>(buffer) + delivered, 0, n - delivered);
    const std::uint64_t advanced = static_cast<std::uint64_t>(position_) + n;
    position_ = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(advanced, std::numeric_limits<std::uint32_t>::max()));
    // A source that gives less than lies inside it (a file cut while it is read) ran out as well.
    if (advanced > size || delivered < inRange)
        LogOverrun();
    return delivered;
}

void IZelStream::LogOverrun() {
    overrun_ = true;
    LogTyped(LOG_ENGINE_INIT, "ZelFileStream 越界,filename=%s", name_.c_str());
}

}  // namespace Zel
