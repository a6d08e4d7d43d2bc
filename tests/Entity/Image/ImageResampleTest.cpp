#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Entity/Image/ImageResample.h"
#include "Entity/Image/PixelFormat.h"

namespace {

using Zel::SurfacePixels;

TEST(ImageResample, NearestTakesThePixelUnderEachStep) {
    // 4 -> 2 steps by two pixels starting just below one: source columns and rows 0 and 2.
    std::vector<std::uint32_t> source(16);
    for (std::uint32_t i = 0; i < 16; ++i) source[i] = i;
    std::vector<std::uint32_t> out(4);
    ASSERT_TRUE(Zel::ResamplePixels({reinterpret_cast<std::uint8_t*>(source.data()), 4, 4, 1},
                                    {reinterpret_cast<std::uint8_t*>(out.data()), 2, 2, 1},
                                    Zel::PF_A8R8G8B8, Zel::RESAMPLE_NEAREST));
    EXPECT_EQ(out, (std::vector<std::uint32_t>{0, 2, 8, 10}));
}

TEST(ImageResample, BilinearBlendsBytesWithTwelveBitWeights) {
    // Halving 2 -> 1: position 2^48 - 1 less half a pixel leaves weight 2047 of 4096 on the
    // right pixel; (100 x 2049 + 200 x 2047) x 4096 + 2^23 >> 24 = 150, and 0 / 255 gives 127.
    std::uint8_t source[8] = {100, 0, 10, 255, 200, 255, 10, 255};
    std::uint8_t out[4] = {};
    ASSERT_TRUE(Zel::ResamplePixels({source, 2, 1, 1}, {out, 1, 1, 1}, Zel::PF_A8R8G8B8,
                                    Zel::RESAMPLE_LINEAR_MIP));
    EXPECT_EQ(out[0], 150);
    EXPECT_EQ(out[1], 127);
    EXPECT_EQ(out[2], 10);
    EXPECT_EQ(out[3], 255);
}

TEST(ImageResample, FloatFormatsAndDepthTakeTheTrilinearPath) {
    float source[8] = {0, 0, 0, 0, 1, 2, 4, 8};
    float out[4] = {};
    ASSERT_TRUE(Zel::ResamplePixels({reinterpret_cast<std::uint8_t*>(source), 2, 1, 1},
                                    {reinterpret_cast<std::uint8_t*>(out), 1, 1, 1},
                                    Zel::PF_A32B32G32R32F, Zel::RESAMPLE_LINEAR));
    const float w = 32767.0f / 65536.0f;
    EXPECT_FLOAT_EQ(out[0], w);
    EXPECT_FLOAT_EQ(out[3], 8 * w);

    std::uint8_t slices[8] = {0, 0, 0, 0, 255, 255, 255, 255};  // 1 x 1 x 2
    std::uint8_t blended[4] = {};
    ASSERT_TRUE(Zel::ResamplePixels({slices, 1, 1, 2}, {blended, 1, 1, 1}, Zel::PF_A8R8G8B8,
                                    Zel::RESAMPLE_LINEAR));
    EXPECT_EQ(blended[0], 127);  // 0.49998 x 256 truncated

    std::uint16_t halves[4] = {0x3C00, 0x4000, 0x3C00, 0x4000};  // G16R16F 2 x 1: (1, 2) twice
    std::uint16_t halfOut[2] = {};
    ASSERT_TRUE(Zel::ResamplePixels({reinterpret_cast<std::uint8_t*>(halves), 2, 1, 1},
                                    {reinterpret_cast<std::uint8_t*>(halfOut), 1, 1, 1},
                                    Zel::PF_G16R16F, Zel::RESAMPLE_LINEAR));
    EXPECT_EQ(halfOut[0], 0x3C00);
    EXPECT_EQ(halfOut[1], 0x4000);
}

TEST(ImageResample, RefusesWhatItCannotResample) {
    std::uint8_t source[64] = {}, out[64];
    std::memset(out, 0xCD, sizeof out);
    struct Case {
        std::uint32_t format;
        int filter;
        std::uint32_t width;
    };
    const Case cases[] = {{Zel::PF_DXT1, 0, 2},
                          {Zel::PF_DXT5, 1, 2},
                          {Zel::PF_X1R5G5B5, 1, 2},
                          {Zel::PF_A8R8G8B8, 3, 2},
                          {Zel::PF_A8R8G8B8, 0, 0}};
    for (const auto& c : cases) {
        EXPECT_FALSE(
            Zel::ResamplePixels({source, c.width, 2, 1}, {out, 1, 1, 1}, c.format, c.filter))
            << c.format << " " << c.filter;
    }
    for (std::uint8_t byte : out) EXPECT_EQ(byte, 0xCD);
    EXPECT_FALSE(Zel::ResamplePixels({nullptr, 2, 2, 1}, {out, 1, 1, 1}, Zel::PF_A8R8G8B8, 0));
}

}  // namespace
