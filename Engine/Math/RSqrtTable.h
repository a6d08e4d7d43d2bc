// The fast reciprocal square root behind every length and normalisation of the engine: a seed
// from a 512-entry table refined by Newton steps. The table is process-wide, built during static
// initialisation and rebuilt (to the same values) when the SIMD processor starts; it never holds
// anything else, so readers need no lock.
#pragma once

#include <cstdint>

namespace Zel {

constexpr int RSQRT_TABLE_SIZE = 512;

// Fills the table. Entry i holds, in bits 15-22, the top eight mantissa bits of 1/sqrt(f) for the
// float f whose biased exponent is 126 + (i >> 8) and whose top mantissa bits are i & 255.
// Always answers true.
bool BuildRSqrtTable();

// Read-only view of the 512 entries.
const std::uint32_t* GetRSqrtTable();

// The table seed for 1/sqrt(x), before any Newton step.
float RSqrtEstimate(float x);

// One Newton step y (1.5 - 0.5 x y^2) towards 1/sqrt(x).
inline float RSqrtRefine(float x, float y) {
    return y * (1.5f - 0.5f * x * y * y);
}

// 1/sqrt(x) for x > 0: the seed and two Newton steps (close to float precision). x = 0 gives a
// large finite value, so v * FastRSqrt(|v|^2) keeps a zero vector at zero.
inline float FastRSqrt(float x) {
    return RSqrtRefine(x, RSqrtRefine(x, RSqrtEstimate(x)));
}

// sqrt(x) as x * FastRSqrt(x); 0 for x = 0.
inline float FastSqrt(float x) {
    return x * FastRSqrt(x);
}

}  // namespace Zel
