// Fog as the system asks for it: the mode (0 off, 1 exponential, 2 exponential squared, 3 linear;
// any other value counts as off), the linear range, the colour and the exponential density.
#pragma once

#include <cstdint>

namespace Zel {

struct FogRecord {
    std::uint32_t mode = 0;
    float start = 100.0f;                        // linear mode
    float end = 1000.0f;                         // linear mode
    float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};  // r, g, b, a in 0..1
    float density = 1.0f;                        // exponential modes
};

}  // namespace Zel
