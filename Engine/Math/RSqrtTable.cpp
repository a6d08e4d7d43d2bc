#include "Math/RSqrtTable.h"

#include <array>
#include <bit>

namespace Zel {

namespace {

using Table = std::array<std::uint32_t, RSQRT_TABLE_SIZE>;

// Square root usable in constant expressions (clang refuses the builtin there): Newton's method in
// double until it stops moving, then one rounding to float. For the table's arguments, floats with
// eight mantissa bits in [0.5, 2), this equals sqrtf; a test holds the table against sqrtf.
constexpr float ConstexprSqrt(float value) {
    const double v = value;
    double x = v > 1.0 ? v : 1.0;
    for (int i = 0; i < 64; ++i) {
        const double next = 0.5 * (x + v / x);
        if (next == x) break;
        x = next;
    }
    return static_cast<float>(x);
}

constexpr Table MakeTable() {
    Table table{};
    for (std::uint32_t i = 0; i < RSQRT_TABLE_SIZE; ++i) {
        // Entries 0-255 cover [0.5, 1), entries 256-511 cover [1, 2).
        const float f = std::bit_cast<float>((i | 0x7E00u) << 15);
        const float r = 1.0f / ConstexprSqrt(f);
        table[i] = (std::bit_cast<std::uint32_t>(r) + 0x2000u) & 0x7F8000u;
    }
    // The exponent formula puts 1/sqrt(1) at 0.5 x mantissa; an all-ones mantissa makes the seed
    // 0.998 rather than 0.5.
    table[256] = 0x7F8000u;
    return table;
}

// Filled at compile time, so code running during static initialisation already finds it built.
constinit Table g_table = MakeTable();

}  // namespace

bool BuildRSqrtTable() {
    // The table is already built; writing only what differs (nothing) keeps a rebuild from racing
    // with threads that read it.
    const Table fresh = MakeTable();
    for (int i = 0; i < RSQRT_TABLE_SIZE; ++i) {
        if (g_table[i] != fresh[i]) {
            g_table[i] = fresh[i];
        }
    }
    return true;
}

const std::uint32_t* GetRSqrtTable() {
    return g_table.data();
}

float RSqrtEstimate(float x) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(x);
    const std::uint32_t exponent = (bits >> 23) & 255u;
    const std::uint32_t seed = (((380u - exponent) >> 1) << 23) | g_table[(bits >> 15) & 511u];
    return std::bit_cast<float>(seed);
}

}  // namespace Zel
