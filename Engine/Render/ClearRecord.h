// One clear of the bound targets: which planes (bit 0 colour, bit 1 depth, bit 2 stencil; other
// bits ignored) and the values they take.
#pragma once

#include <cstdint>

namespace Zel {

enum ClearFlag : std::uint32_t {
    CLEAR_COLOUR = 0x1,
    CLEAR_DEPTH = 0x2,
    CLEAR_STENCIL = 0x4,
};

struct ClearRecord {
    std::uint32_t flags = CLEAR_COLOUR | CLEAR_DEPTH;
    float colour[4] = {0.0f, 0.0f, 0.0f, 0.0f};  // r, g, b, a in 0..1
    float depth = 1.0f;
    std::uint32_t stencil = 0;
};

}  // namespace Zel
