#include "Math/ZelSIMD3DNow.h"

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace Zel {

namespace {

// Size classes in 64-byte blocks: below 64 KB the stores stay cached; up to 197 KB they bypass
// the cache; beyond, the source is touched in 8 KB chunks before each chunk is copied.
constexpr int kStreamingBlocks = 1024;
constexpr int kChunkedBlocks = 3152;
constexpr int kChunkBlocks = 128;
constexpr int kPrefetchDistance = 568;

void PrefetchAhead(const unsigned char* p) {
    _mm_prefetch(reinterpret_cast<const char*>(p) + kPrefetchDistance, _MM_HINT_T0);
}

}  // namespace

const char* ZelSIMD_3DNow::GetName() const {
    return "MMX & 3DNow!";
}

void ZelSIMD_3DNow::CopyMemory(void* dst, const void* src, int byteCount) const {
    if (byteCount <= 0)
        return;
    auto* d = static_cast<unsigned char*>(dst);
    auto* s = static_cast<const unsigned char*>(src);
    int n = byteCount;
    if (n >= 64) {
        // Between 32 KB and 64 KB the destination is left as it comes.
        if (n <= 32768 || n > 65536) {
            const int head = static_cast<int>((0 - reinterpret_cast<std::uintptr_t>(d)) & 7);
            for (int k = 0; k < head; ++k) *d++ = *s++;
            n -= head;
        }
        int blocks = n / 64;
        n %= 64;
        if (blocks < kStreamingBlocks) {
            for (; blocks > 0; --blocks, d += 64, s += 64) {
                PrefetchAhead(s);
                std::memcpy(d, s, 64);
            }
        } else {
            if (blocks >= kChunkedBlocks) {
                for (; blocks >= kChunkBlocks; blocks -= kChunkBlocks) {
                    // Touching every line, from the chunk's end back to its start, brings the
                    // whole chunk in before the copy reads it. Prefetches rather than loads:
                    // loads walking backwards cost a third of the bandwidth on current cores.
                    for (int off = (kChunkBlocks - 1) * 64; off >= 0; off -= 64)
                        _mm_prefetch(reinterpret_cast<const char*>(s + off), _MM_HINT_T0);
                    for (int k = 0; k < kChunkBlocks; ++k, d += 64, s += 64) StreamBlock(d, s);
                }
            }
            for (; blocks > 0; --blocks, d += 64, s += 64) {
                PrefetchAhead(s);
                StreamBlock(d, s);
            }
        }
    }
    const int words = n / 4;
    std::memcpy(d, s, static_cast<std::size_t>(4 * words));
    for (int k = 4 * words; k < n; ++k) d[k] = s[k];
    _mm_sfence();
}

}  // namespace Zel
