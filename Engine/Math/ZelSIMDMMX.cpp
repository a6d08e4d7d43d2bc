#include "Math/ZelSIMDMMX.h"

#include <emmintrin.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace Zel {

namespace {

// Bytes from p to its next 16-byte boundary (0 to 15).
std::size_t ToVectorBoundary(const void* p) {
    return static_cast<std::size_t>((0 - reinterpret_cast<std::uintptr_t>(p)) & 15);
}

// The last-level cache as the system reports it; 8 MiB when it does not say.
std::size_t LastLevelCacheBytes() {
    static const std::size_t bytes = [] {
        long v = sysconf(_SC_LEVEL3_CACHE_SIZE);
        if (v <= 0)
            v = sysconf(_SC_LEVEL2_CACHE_SIZE);
        return v > 0 ? static_cast<std::size_t>(v) : std::size_t{8} << 20;
    }();
    return bytes;
}

}  // namespace

const char* ZelSIMD_MMX::GetName() const {
    return "MMX";
}

bool ZelSIMD_MMX::Streams(int byteCount) {
    return static_cast<std::size_t>(byteCount) > LastLevelCacheBytes();
}

void ZelSIMD_MMX::StreamCopy(unsigned char* d, const unsigned char* s, std::size_t n) {
    const std::size_t head = std::min(n, ToVectorBoundary(d));
    std::memcpy(d, s, head);
    d += head;
    s += head;
    n -= head;
    // Four pages at a time, a line of each in turn: the reads then spread over several memory
    // pages at once, which keeps the memory busier than one sequential stream does.
    constexpr std::size_t kPage = 4096, kLine = 64;
    auto line = [](unsigned char* to, const unsigned char* from) {
        const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16));
        const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 32));
        const __m128i v3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 48));
        _mm_stream_si128(reinterpret_cast<__m128i*>(to), v0);
        _mm_stream_si128(reinterpret_cast<__m128i*>(to + 16), v1);
        _mm_stream_si128(reinterpret_cast<__m128i*>(to + 32), v2);
        _mm_stream_si128(reinterpret_cast<__m128i*>(to + 48), v3);
    };
    for (; n >= 4 * kPage; n -= 4 * kPage, d += 4 * kPage, s += 4 * kPage)
        for (std::size_t off = 0; off < kPage; off += kLine)
            for (std::size_t p = 0; p < 4; ++p) {
                _mm_prefetch(reinterpret_cast<const char*>(s + p * kPage + off) + 4 * kLine,
                             _MM_HINT_T0);
                line(d + p * kPage + off, s + p * kPage + off);
            }
    for (; n >= kLine; n -= kLine, d += kLine, s += kLine) line(d, s);
    // Streaming stores are weakly ordered: fence them before anyone else may read the memory.
    _mm_sfence();
    std::memcpy(d, s, n);
}

// Below the last-level cache the written bytes are better kept in it, which the runtime's copy
// and fill do at full speed; beyond it, stores that bypass the cache save reading every line
// before it is overwritten.
void ZelSIMD_MMX::CopyMemory(void* dst, const void* src, int byteCount) const {
    if (byteCount <= 0)
        return;
    if (!Streams(byteCount)) {
        std::memcpy(dst, src, static_cast<std::size_t>(byteCount));
        return;
    }
    StreamCopy(static_cast<unsigned char*>(dst), static_cast<const unsigned char*>(src),
               static_cast<std::size_t>(byteCount));
}

void ZelSIMD_MMX::StreamFill(unsigned char* d, unsigned char byte, std::size_t n) {
    const std::size_t head = std::min(n, ToVectorBoundary(d));
    std::memset(d, byte, head);
    d += head;
    n -= head;
    const __m128i wide = _mm_set1_epi8(static_cast<char>(byte));
    for (; n >= 64; n -= 64, d += 64)
        for (int k = 0; k < 4; ++k) _mm_stream_si128(reinterpret_cast<__m128i*>(d + 16 * k), wide);
    _mm_sfence();
    std::memset(d, byte, n);
}

void ZelSIMD_MMX::FillMemory(void* dst, int value, int byteCount) const {
    if (byteCount <= 0)
        return;
    const auto byte = static_cast<unsigned char>(value & 0xFF);
    if (!Streams(byteCount))
        std::memset(dst, byte, static_cast<std::size_t>(byteCount));
    else
        StreamFill(static_cast<unsigned char*>(dst), byte, static_cast<std::size_t>(byteCount));
}

}  // namespace Zel
