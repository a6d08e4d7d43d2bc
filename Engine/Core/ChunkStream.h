// The helpers every reader of the binary chunk format shares (geometry, meshes, buffers, material
// libraries): chunk headers and short-string records, assertion reports at the reader's site,
// counts checked against the bytes left before anything is allocated or read, arrays read in one
// piece, and the end-of-read check that refuses a stream which ran short. Loading thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Zel {

class IZelStream;

// The source place of a reader, named in its assertion reports.
struct ChunkSite {
    const char* file;
    int line;
    const char* function;
};

#define ZEL_CHUNK_SITE(function)          \
    ::Zel::ChunkSite {                    \
        __FILE_NAME__, __LINE__, function \
    }

// Logs the formatted message and the "FILE=%s,\nLine=%d,\nFun=%s" location (type 13) and, with
// the assertion switch on, shows them; reading goes on.
void ReportChunkAssert(const ChunkSite& site, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Bytes between the position and the end of the stream (0 past the end).
std::uint64_t BytesLeft(IZelStream* stream);
// Whether count elements of elementSize bytes lie inside what is left (64-bit arithmetic, so no
// file value can wrap the product).
bool CountFits(IZelStream* stream, std::uint64_t count, std::uint64_t elementSize);
// size x count, or false when it does not fit in 32 bits.
bool CheckedByteCount(std::uint32_t size, std::uint32_t count, std::uint32_t& bytes);

// Reads three little-endian 32-bit words (a chunk header: tag, record size, resource word) into
// the three outputs; answers the bytes delivered (12 when all arrived).
std::uint32_t ReadThreeInts(std::uint32_t& first, std::uint32_t& second, std::uint32_t& third,
                            IZelStream* stream);

// Reads a short-string record: u32 flag (0), u32 length n (at most 256, the text bytes with their
// NUL), u32 unused, then n text bytes. The text is the bytes before the first NUL (all n when
// none is NUL). Answers false with an empty string when the flag is not 0, n is above 256 (the
// twelve header bytes stay consumed) or the record runs past the end of the stream.
bool ReadShortString(IZelStream* stream, std::string& text);

// One little-endian u32; false (value 0) when the stream ran out.
bool ReadU32(IZelStream* stream, std::uint32_t& value);
// count little-endian u32 in one read; false, with nothing read and `values` empty, when they do
// not lie inside the stream.
bool ReadU32Array(IZelStream* stream, std::uint32_t count, std::vector<std::uint32_t>& values);

// The result of a whole top-level read: false when the reader failed or when the stream ran past
// its end at any point of the read (its overrun flag; the bytes it gave were zeros). A short
// stream is logged once here with its name.
bool FinishChunkRead(IZelStream* stream, bool readOk);

}  // namespace Zel
