// One chunk of a binary chunk stream as its reader sees it: the 12-byte header (tag, record-size
// word, resource word) and the fixed record, whose fields are taken apart little-endian at their
// byte offsets. Loading thread only; one object per chunk being read.
#pragma once

#include <cstdint>
#include <vector>

#include "Core/ChunkStream.h"

namespace Zel {

class IZelStream;

class ChunkRecord {
public:
    ChunkRecord() = default;
    ChunkRecord(const ChunkRecord&) = delete;
    ChunkRecord& operator=(const ChunkRecord&) = delete;

    // Reads the header. A stream that ends early gives zero words and sets its overrun flag.
    void ReadHeader(IZelStream* stream);
    // Reads the header and checks its tag; on another tag makes the assertion report with the
    // reader's text at its site and answers false.
    bool ReadHeader(IZelStream* stream, std::uint32_t tag, const ChunkSite& site,
                    const char* report);
    // Both: the header with its tag checked, then the fixed record with its size checked. False
    // (reported) only on another tag.
    bool Read(IZelStream* stream, std::uint32_t tag, std::uint32_t size, const ChunkSite& site,
              const char* report) {
        if (!ReadHeader(stream, tag, site, report))
            return false;
        ReadRecord(stream, size, true, site);
        return true;
    }
    std::uint32_t GetTag() const { return tag_; }
    std::uint32_t GetSizeWord() const { return sizeWord_; }
    std::uint32_t GetResourceWord() const { return resourceWord_; }

    // Reads exactly `size` bytes of fixed record after the header, whatever the size word says;
    // when checkSize is set and the size word differs, first makes the "Exp Failed!" assertion
    // report at the reader's site. Bytes past the end of the stream read as zero.
    void ReadRecord(IZelStream* stream, std::uint32_t size, bool checkSize, const ChunkSite& site);

    // Fields of the record by byte offset; a field that does not lie inside the record reads as 0.
    std::uint32_t U32(std::uint32_t offset) const;
    std::int32_t I32(std::uint32_t offset) const { return static_cast<std::int32_t>(U32(offset)); }
    float F32(std::uint32_t offset) const;
    // A 4x4 matrix stored column by column (row r, column c at 4 x (4c + r)) as 16 row-major
    // floats.
    void ColumnMajorMatrix(std::uint32_t offset, float rowMajor[16]) const;
    std::uint32_t GetRecordSize() const { return static_cast<std::uint32_t>(record_.size()); }

private:
    std::uint32_t tag_ = 0;
    std::uint32_t sizeWord_ = 0;
    std::uint32_t resourceWord_ = 0;
    std::vector<std::uint8_t> record_;
};

}  // namespace Zel
