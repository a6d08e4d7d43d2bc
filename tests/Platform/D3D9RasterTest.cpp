// The software device's rasteriser through Direct3D 9 calls: coverage and fill rule, depth,
// stencil, blending, alpha test, culling, scissor, fog, primitive types and vertex input.
#include <algorithm>
#include <cmath>

#include "tests/Platform/RasterFixture.h"

namespace {

class Raster : public RasterFixture {};

TEST_F(Raster, SmokeQuad) {
    Rect(8, 8, 40, 24, 0.5f, 0xFFFF0000u);
    EXPECT_EQ(Pixel(8, 8), 0xFFFF0000u);
    EXPECT_EQ(Pixel(39, 23), 0xFFFF0000u);
    EXPECT_EQ(Pixel(40, 23), 0xFF000000u);
    EXPECT_EQ(Pixel(7, 8), 0xFF000000u);
}

}  // namespace
