#include "Math/ZelSIMDMMX.h"

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace Zel {

namespace {

constexpr int kStagingBytes = 2048;

uint64_t Load8(const unsigned char* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

void Stream8(unsigned char* p, uint64_t v) {
    _mm_stream_si64(reinterpret_cast<long long*>(p), static_cast<long long>(v));
}

// Writes 64 bytes from four vectors, bypassing the cache: 16-byte stores where the destination
// allows (8-byte stores alone reach about half the memory bandwidth), 8-byte ones around them on
// an 8-byte boundary, and 8-byte ones only where the destination has no alignment at all.
void Stream64(unsigned char* p, const __m128i (&v)[4]) {
    const auto misalign = reinterpret_cast<std::uintptr_t>(p) & 15;
    if (misalign == 0) {
        for (int k = 0; k < 4; ++k) _mm_stream_si128(reinterpret_cast<__m128i*>(p + 16 * k), v[k]);
        return;
    }
    alignas(16) unsigned char bytes[64];
    for (int k = 0; k < 4; ++k) _mm_store_si128(reinterpret_cast<__m128i*>(bytes + 16 * k), v[k]);
    if (misalign != 8) {
        for (int k = 0; k < 8; ++k) Stream8(p + 8 * k, Load8(bytes + 8 * k));
        return;
    }
    Stream8(p, Load8(bytes));
    for (int k = 0; k < 3; ++k)
        _mm_stream_si128(reinterpret_cast<__m128i*>(p + 8 + 16 * k),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 8 + 16 * k)));
    Stream8(p + 56, Load8(bytes + 56));
}

void Prefetch(const unsigned char* p) {
    _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_NTA);
}

// Bytes from p to its next 8-byte boundary (0 to 7).
int ToWordBoundary(const void* p) {
    return static_cast<int>((0 - reinterpret_cast<std::uintptr_t>(p)) & 7);
}

}  // namespace

const char* ZelSIMD_MMX::GetName() const {
    return "MMX";
}

void ZelSIMD_MMX::StreamBlock(unsigned char* dst, const unsigned char* src) {
    __m128i v[4];
    for (int k = 0; k < 4; ++k)
        v[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16 * k));
    Stream64(dst, v);
}

void ZelSIMD_MMX::CopyMemory(void* dst, const void* src, int byteCount) const {
    if (byteCount <= 0)
        return;
    auto* d = static_cast<unsigned char*>(dst);
    auto* s = static_cast<const unsigned char*>(src);
    int n = byteCount;
    // Short copies, and copies whose ends can never both be word aligned, gain nothing.
    if (n <= 16 || ToWordBoundary(d) != ToWordBoundary(s)) {
        std::memcpy(d, s, static_cast<std::size_t>(n));
        return;
    }
    for (int head = ToWordBoundary(d); head > 0; --head, --n) *d++ = *s++;
    if (n >= 2 * kStagingBytes) {
        // Reading a whole block before writing any of it keeps the loads and the streaming
        // stores from competing for the memory bus.
        alignas(16) unsigned char staging[kStagingBytes];
        for (; n >= kStagingBytes; n -= kStagingBytes) {
            for (int off = 0; off < kStagingBytes; off += 64) {
                Prefetch(s + off + 64);
                Prefetch(s + off + 96);
                std::memcpy(staging + off, s + off, 64);
            }
            for (int off = 0; off < kStagingBytes; off += 64) StreamBlock(d + off, staging + off);
            d += kStagingBytes;
            s += kStagingBytes;
        }
    }
    for (; n >= 64; n -= 64, d += 64, s += 64) {
        Prefetch(s + 64);
        Prefetch(s + 96);
        StreamBlock(d, s);
    }
    for (; n >= 8; n -= 8, d += 8, s += 8) Stream8(d, Load8(s));
    // Streaming stores are weakly ordered: fence them before anyone else may read the memory.
    _mm_sfence();
    std::memcpy(d, s, static_cast<std::size_t>(n));
}

void ZelSIMD_MMX::FillMemory(void* dst, int value, int byteCount) const {
    if (byteCount <= 0)
        return;
    auto* d = static_cast<unsigned char*>(dst);
    const auto byte = static_cast<unsigned char>(value & 0xFF);
    int n = byteCount;
    for (; n > 0 && ToWordBoundary(d) != 0; --n) *d++ = byte;
    const uint64_t pattern = 0x0101010101010101ull * byte;
    const __m128i wide = _mm_set1_epi8(static_cast<char>(byte));
    const __m128i block[4] = {wide, wide, wide, wide};
    for (; n >= 64; n -= 64, d += 64) Stream64(d, block);
    for (; n >= 8; n -= 8, d += 8) Stream8(d, pattern);
    _mm_sfence();
    if (n > 0)
        std::memset(d, byte, static_cast<std::size_t>(n));
}

}  // namespace Zel
