#include "Entity/Geometry/ChunkRecord.h"

#include <cstring>

#include "Core/IZelStream.h"
#include "Core/ChunkStream.h"

namespace Zel {

void ChunkRecord::ReadHeader(IZelStream* stream) {
    ReadThreeInts(tag_, sizeWord_, resourceWord_, stream);
}

bool ChunkRecord::ReadHeader(IZelStream* stream, std::uint32_t tag, const ChunkSite& site,
                             const char* report) {
    ReadHeader(stream);
    if (tag_ == tag)
        return true;
    ReportChunkAssert(site, "%s", report);
    return false;
}

void ChunkRecord::ReadRecord(IZelStream* stream, std::uint32_t size, bool checkSize,
                             const ChunkSite& site) {
    if (checkSize && sizeWord_ != size)
        ReportChunkAssert(site, "Exp Failed!");
    record_.assign(size, 0);
    if (size)
        stream->Read(record_.data(), size);
}

std::uint32_t ChunkRecord::U32(std::uint32_t offset) const {
    if (static_cast<std::uint64_t>(offset) + 4 > record_.size())
        return 0;
    const std::uint8_t* b = record_.data() + offset;
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

float ChunkRecord::F32(std::uint32_t offset) const {
    const std::uint32_t bits = U32(offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void ChunkRecord::ColumnMajorMatrix(std::uint32_t offset, float rowMajor[16]) const {
    for (std::uint32_t r = 0; r < 4; ++r)
        for (std::uint32_t c = 0; c < 4; ++c) rowMajor[4 * r + c] = F32(offset + 4 * (4 * c + r));
}

}  // namespace Zel
