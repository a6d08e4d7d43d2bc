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
    uint64_t v[8];
    for (int k = 0; k < 8; ++k) v[k] = Load8(src + 8 * k);
    for (int k = 0; k < 8; ++k) Stream8(dst + 8 * k, v[k]);
}

int ZelSIMD_MMX::StreamWords(unsigned char* dst, const unsigned char* src, int count) {
    const int words = count / 8;
    for (int k = 0; k < words; ++k) Stream8(dst + 8 * k, Load8(src + 8 * k));
    return 8 * words;
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
    const int words = StreamWords(d, s, n);
    d += words;
    s += words;
    n -= words;
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
    for (; n >= 64; n -= 64, d += 64)
        for (int k = 0; k < 8; ++k) Stream8(d + 8 * k, pattern);
    for (; n >= 8; n -= 8, d += 8) Stream8(d, pattern);
    _mm_sfence();
    if (n > 0)
        std::memset(d, byte, static_cast<std::size_t>(n));
}

}  // namespace Zel
