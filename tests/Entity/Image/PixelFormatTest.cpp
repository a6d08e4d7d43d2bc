#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "Entity/Image/PixelFormat.h"

namespace {

using namespace Zel;

std::uint32_t Bits(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

TEST(PixelFormat, TableAnswersSizesFlagsAndDirect3DFormats) {
    struct Row {
        std::uint32_t code, d3d, flags, bytes;
    };
    const Row rows[] = {{PF_NONE, 0, 0, 0},
                        {PF_A8R8G8B8, 21, 1, 4},
                        {PF_X8R8G8B8, 22, 0, 4},
                        {PF_X1R5G5B5, 24, 0, 2},
                        {PF_G16R16, 34, 0, 4},
                        {PF_A16B16G16R16, 36, 0, 8},
                        {PF_DXT1, 0x31545844, 2, 0},
                        {PF_DXT5, 0x35545844, 2, 0},
                        {PF_D24S8, 75, 8, 4},
                        {PF_D16, 80, 8, 2},
                        {PF_A16B16G16R16F, 113, 4, 8},
                        {PF_A32B32G32R32F, 116, 4, 16},
                        {19, 0, 0, 0},
                        {0xFFFFFFFF, 0, 0, 0}};
    for (const auto& r : rows) {
        EXPECT_EQ(GetPixelFormatD3DFormat(r.code), r.d3d) << r.code;
        EXPECT_EQ(GetPixelFormatFlags(r.code), r.flags) << r.code;
        EXPECT_EQ(GetPixelFormatBytesPerPixel(r.code), r.bytes) << r.code;
        EXPECT_EQ(IsPixelFormatCompressed(r.code), (r.flags & 2) != 0) << r.code;
        EXPECT_EQ(IsPixelFormatFloat(r.code), (r.flags & 4) != 0) << r.code;
    }
}

TEST(PixelFormat, ByteSizesCountPixelsOrBlocks) {
    EXPECT_EQ(GetPixelFormatByteSize(5, 5, 1, PF_DXT1), 32u);
    EXPECT_EQ(GetPixelFormatByteSize(5, 5, 1, PF_DXT3), 64u);
    EXPECT_EQ(GetPixelFormatByteSize(1, 1, 1, PF_DXT5), 16u);
    EXPECT_EQ(GetPixelFormatByteSize(3, 2, 2, PF_A16B16G16R16F), 96u);
    EXPECT_EQ(GetPixelFormatByteSize(16384, 16384, 1, PF_A32B32G32R32F), 4294967296ull);
    EXPECT_EQ(GetPixelFormatByteSize(4, 4, 1, 42), 0u);
}

TEST(PixelFormat, FloatToUnormClampsAndTruncates) {
    struct Row {
        float value;
        int bits;
        std::uint32_t expected;
    };
    const Row rows[] = {{0.5f, 8, 128},     {0.999f, 8, 255},
                        {-3.0f, 8, 0},      {2.0f, 16, 65535},
                        {1.0f, 8, 255},     {0.0f, 8, 0},
                        {0.25f, 16, 16384}, {std::numeric_limits<float>::quiet_NaN(), 8, 0}};
    for (const auto& r : rows) EXPECT_EQ(FloatToUnorm(r.value, r.bits), r.expected) << r.value;
}

TEST(PixelFormat, FloatToHalfTable) {
    struct Row {
        float value;
        std::uint16_t half;
    };
    const Row rows[] = {{1.0f, 0x3C00},
                        {-2.0f, 0xC000},
                        {65504.0f, 0x7BFF},
                        {65520.0f, 0x7BFF},  // truncation, not rounding to infinity
                        {1.0e6f, 0x7C00},
                        {-1.0e6f, 0xFC00},
                        {std::ldexp(1.0f, -24), 0x0001},
                        {std::ldexp(1.0f, -14), 0x0400},
                        {-std::ldexp(1.0f, -26), 0x0000},
                        {0.0f, 0x0000},
                        {std::numeric_limits<float>::infinity(), 0x7C00}};
    for (const auto& r : rows) EXPECT_EQ(FloatToHalfValue(r.value), r.half) << r.value;
}

TEST(PixelFormat, NaNStaysNaNBothWays) {
    for (std::uint32_t nan : {0x7FC00000u, 0x7F800001u, 0xFF800100u}) {
        const std::uint16_t half = FloatToHalf(nan);
        EXPECT_EQ(half & 0x7C00, 0x7C00) << std::hex << nan;
        EXPECT_NE(half & 0x03FF, 0) << std::hex << nan;
        EXPECT_EQ(half & 0x8000, (nan >> 16) & 0x8000) << std::hex << nan;
    }
    const float back = HalfToFloatValue(0xFC01);
    EXPECT_TRUE(std::isnan(back));
    EXPECT_TRUE(std::signbit(back));
}

TEST(PixelFormat, HalfToFloatTable) {
    struct Row {
        std::uint16_t half;
        float value;
    };
    const Row rows[] = {{0x0001, std::ldexp(1.0f, -24)},
                        {0x03FF, std::ldexp(1023.0f, -24)},
                        {0x3C00, 1.0f},
                        {0x7BFF, 65504.0f},
                        {0x7C00, std::numeric_limits<float>::infinity()},
                        {0xFC00, -std::numeric_limits<float>::infinity()},
                        {0x8000, -0.0f}};
    for (const auto& r : rows) EXPECT_EQ(HalfToFloat(r.half), Bits(r.value)) << std::hex << r.half;
}

TEST(PixelFormat, EveryFiniteHalfSurvivesTheRoundTripButNegativeZero) {
    EXPECT_EQ(FloatToHalf(HalfToFloat(0x8000)), 0x0000);  // values below 2^-24 become +0
    for (std::uint32_t h = 1; h < 0x10000; ++h) {
        if ((h & 0x7C00) == 0x7C00 || h == 0x8000)
            continue;
        ASSERT_EQ(FloatToHalf(HalfToFloat(static_cast<std::uint16_t>(h))), h) << std::hex << h;
    }
}

TEST(PixelFormat, PackAndUnpackEachFormat) {
    std::uint8_t bytes[16];
    PackPixel(1.0f, 0.5f, 0.0f, 0.25f, PF_A8R8G8B8, bytes);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[1], 128);
    EXPECT_EQ(bytes[2], 255);
    EXPECT_EQ(bytes[3], 64);
    float c[4];
    UnpackPixel(PF_A8R8G8B8, bytes, c);
    EXPECT_FLOAT_EQ(c[1], 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(c[3], 64.0f / 255.0f);

    const float colour[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    for (std::uint32_t format : {PF_A16B16G16R16F, PF_A32B32G32R32F}) {
        PackPixel(colour, format, bytes);
        float r, g, b, a;
        UnpackPixel(format, bytes, r, g, b, a);
        EXPECT_EQ(r, 0.25f);
        EXPECT_EQ(g, 0.5f);
        EXPECT_EQ(b, 0.75f);
        EXPECT_EQ(a, 1.0f);
    }
    PackPixel(colour, PF_A16B16G16R16, bytes);
    UnpackPixel(PF_A16B16G16R16, bytes, c);
    EXPECT_FLOAT_EQ(c[0], 16384.0f / 65535.0f);
    EXPECT_FLOAT_EQ(c[3], 1.0f);

    for (std::uint32_t untouched : {PF_X1R5G5B5, PF_DXT1, PF_DXT5, PF_D16}) {
        std::memset(bytes, 0xCD, sizeof bytes);
        PackPixel(colour, untouched, bytes);
        for (std::uint8_t byte : bytes) EXPECT_EQ(byte, 0xCD) << untouched;
    }
}

}  // namespace
