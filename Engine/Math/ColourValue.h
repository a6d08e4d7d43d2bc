// A colour of four floats r, g, b, a in 0..1.
#pragma once

#include <cstdint>

namespace Zel {

struct ColourValue {
    float r, g, b, a;

    float* Ptr() { return &r; }
    const float* Ptr() const { return &r; }

    // Channels from 0xAARRGGBB or 0xAABBGGRR, each byte / 255.
    void SetAsARGB(std::uint32_t packed);
    void SetAsABGR(std::uint32_t packed);

    // Process-wide constants built on first use: (1,0,0,1), (0,1,0,1), (0,0,0,1).
    static const ColourValue& Red();
    static const ColourValue& Green();
    static const ColourValue& Black();
};

static_assert(sizeof(ColourValue) == 4 * sizeof(float));

}  // namespace Zel
