// The render state of a material pass: which switches it turns on (a flag word) and the colour
// channels it writes. The material code fills and applies it; the device can read the device's
// current states back into one.
#pragma once

#include <cstdint>

namespace Zel {

// Bits of RenderState::flags.
enum RenderStateFlag : std::uint32_t {
    RSF_DEPTH_TEST = 0x1,
    RSF_DEPTH_WRITE = 0x2,
    RSF_ALPHA_TEST = 0x4,
    RSF_STENCIL = 0x8,
    RSF_ALPHA_BLEND = 0x10,
    RSF_DITHER = 0x20,
    RSF_SPECULAR = 0x40,
    RSF_RANGE_FOG = 0x80,
    RSF_CLIPPING = 0x100,
    RSF_POINT_SPRITES = 0x200,
    RSF_POINT_SCALE = 0x400,
    RSF_MULTISAMPLE_ANTIALIAS = 0x800,
    RSF_SCISSOR_TEST = 0x1000,
    RSF_ANTIALIASED_LINES = 0x2000,
    RSF_TWO_SIDED_STENCIL = 0x4000,
    RSF_SEPARATE_ALPHA_BLEND = 0x8000,
    RSF_CLIP_PLANE_0 = 0x10000,
};

class RenderState {
public:
    RenderState() = default;
    RenderState(const RenderState&) = delete;
    RenderState& operator=(const RenderState&) = delete;

    std::uint32_t flags = 0;            // RenderStateFlag bits
    std::uint32_t colourWriteMask = 0;  // bit 0 red, 1 green, 2 blue, 3 alpha
};

}  // namespace Zel
