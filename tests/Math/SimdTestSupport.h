// The six processor variants side by side, and helpers for comparing their outputs bit for bit.
#pragma once

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "Math/ZelSIMD3DNow.h"
#include "Math/ZelSIMDGeneric.h"
#include "Math/ZelSIMDMMX.h"
#include "Math/ZelSIMDSSE.h"
#include "Math/ZelSIMDSSE2.h"
#include "Math/ZelSIMDSSE3.h"

namespace ZelTest {

struct SimdVariant {
    const char* name;
    const Zel::ZelSIMDProcessor* processor;
};

// Generic first: it is the reference the others are compared with.
inline const std::vector<SimdVariant>& AllSimdVariants() {
    static const Zel::ZelSIMD_Generic generic;
    static const Zel::ZelSIMD_MMX mmx;
    static const Zel::ZelSIMD_3DNow amd3dnow;
    static const Zel::ZelSIMD_SSE sse;
    static const Zel::ZelSIMD_SSE2 sse2;
    static const Zel::ZelSIMD_SSE3 sse3;
    static const std::vector<SimdVariant> variants = {
        {"generic", &generic}, {"MMX", &mmx},   {"3DNow", &amd3dnow},
        {"SSE", &sse},         {"SSE2", &sse2}, {"SSE3", &sse3},
    };
    return variants;
}

inline uint32_t Bits(float f) {
    return std::bit_cast<uint32_t>(f);
}

inline std::vector<uint32_t> Bits(const float* p, int n) {
    std::vector<uint32_t> out(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) out[i] = Bits(p[i]);
    return out;
}

// A 64-byte aligned block of T, so offsets from its start give every alignment.
template <class T>
class AlignedBlock {
public:
    explicit AlignedBlock(size_t count)
        : data_(static_cast<T*>(std::aligned_alloc(64, (count * sizeof(T) + 63) / 64 * 64))),
          count_(count) {}
    ~AlignedBlock() { std::free(data_); }
    AlignedBlock(const AlignedBlock&) = delete;
    AlignedBlock& operator=(const AlignedBlock&) = delete;
    T* data() { return data_; }
    size_t size() const { return count_; }
    T& operator[](size_t i) { return data_[i]; }

private:
    T* data_;
    size_t count_;
};

}  // namespace ZelTest
