#include "Core/ChunkStream.h"

#include <bit>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "Core/ErrorReport.h"
#include "Core/IZelStream.h"
#include "Core/LogDispatch.h"

namespace Zel {

static_assert(std::endian::native == std::endian::little,
              "arrays of the chunk stream are copied as they lie in the file");

void ReportChunkAssert(const ChunkSite& site, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::string message, location;
    FormatAssertMessage(message, location, site.file, site.line, site.function, "%s", text);
    ReportAssert(message, location);
}

std::uint64_t BytesLeft(IZelStream* stream) {
    const std::uint64_t size = stream->GetSize();
    const std::uint64_t position = stream->Tell();
    return position < size ? size - position : 0;
}

bool CountFits(IZelStream* stream, std::uint64_t count, std::uint64_t elementSize) {
    if (elementSize != 0 && count > std::numeric_limits<std::uint64_t>::max() / elementSize)
        return false;
    return count * elementSize <= BytesLeft(stream);
}

bool CheckedByteCount(std::uint32_t size, std::uint32_t count, std::uint32_t& bytes) {
    const std::uint64_t product = static_cast<std::uint64_t>(size) * count;
    if (product > std::numeric_limits<std::uint32_t>::max())
        return false;
    bytes = static_cast<std::uint32_t>(product);
    return true;
}

namespace {
constexpr std::uint32_t kShortStringMax = 256;

// One little-endian u32 (the missing bytes read as zeros); answers the bytes delivered.
std::uint32_t ReadU32Delivered(IZelStream* stream, std::uint32_t& value) {
    std::uint8_t b[4] = {};
    const std::uint32_t delivered = stream->Read(b, 4);
    value = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
            static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    return delivered;
}
}  // namespace

std::uint32_t ReadThreeInts(std::uint32_t& first, std::uint32_t& second, std::uint32_t& third,
                            IZelStream* stream) {
    std::uint32_t delivered = ReadU32Delivered(stream, first);
    delivered += ReadU32Delivered(stream, second);
    delivered += ReadU32Delivered(stream, third);
    return delivered;
}

bool ReadShortString(IZelStream* stream, std::string& text) {
    text.clear();
    std::uint32_t flag = 0, length = 0, unused = 0;
    if (ReadThreeInts(flag, length, unused, stream) != 12)
        return false;
    if (flag != 0 || length > kShortStringMax)
        return false;
    char buffer[kShortStringMax];
    if (stream->Read(buffer, 1, length) != length)
        return false;
    const void* nul = std::memchr(buffer, '\0', length);
    text.assign(buffer, nul ? static_cast<const char*>(nul) - buffer : length);
    return true;
}

bool ReadU32(IZelStream* stream, std::uint32_t& value) {
    return ReadU32Delivered(stream, value) == 4;
}

bool ReadU32Array(IZelStream* stream, std::uint32_t count, std::vector<std::uint32_t>& values) {
    values.clear();
    if (!CountFits(stream, count, 4))
        return false;
    values.resize(count);
    return count == 0 || stream->Read(values.data(), 4, count) == 4ull * count;
}

bool FinishChunkRead(IZelStream* stream, bool readOk) {
    if (!stream->HasOverrun())
        return readOk;
    LogTyped(LOG_ENGINE_INIT, "chunk stream ended early, filename=%s", stream->GetName().c_str());
    return false;
}

}  // namespace Zel
