// The block decoder against the texel-at-a-time decoding it replaced: random blocks of every DXT
// format, both DXT1 colour modes and both DXT5 alpha modes, whole blocks, single texels and
// rectangles the image edge cuts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "Platform/D3D9/DxtBlock.h"
#include "Platform/D3DX9/D3DX9Pixels.h"

namespace {

// ---- The texel-at-a-time decoding, as it stood before whole blocks were decoded ---------------

void OldExpand565(WORD c, int rgb[3]) {
    int r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    rgb[0] = (r << 3) | (r >> 2);
    rgb[1] = (g << 2) | (g >> 4);
    rgb[2] = (b << 3) | (b >> 2);
}

void OldColourTexel(const BYTE* block, UINT index, bool threeColourAllowed, int rgb[3],
                    bool* transparent) {
    WORD c0 = WORD(block[0] | block[1] << 8), c1 = WORD(block[2] | block[3] << 8);
    int a[3], b[3];
    OldExpand565(c0, a);
    OldExpand565(c1, b);
    UINT selector = (block[4 + index / 4] >> ((index % 4) * 2)) & 3;
    *transparent = false;
    bool fourColours = !threeColourAllowed || c0 > c1;
    for (int k = 0; k < 3; ++k) {
        switch (selector) {
            case 0:
                rgb[k] = a[k];
                break;
            case 1:
                rgb[k] = b[k];
                break;
            case 2:
                rgb[k] = fourColours ? (2 * a[k] + b[k] + 1) / 3 : (a[k] + b[k] + 1) / 2;
                break;
            default:
                rgb[k] = fourColours ? (a[k] + 2 * b[k] + 1) / 3 : 0;
                break;
        }
    }
    if (!fourColours && selector == 3)
        *transparent = true;
}

int OldInterpolatedAlpha(const BYTE* block, UINT index) {
    int a0 = block[0], a1 = block[1];
    ULONGLONG bits = 0;
    for (int i = 0; i < 6; ++i) bits |= static_cast<ULONGLONG>(block[2 + i]) << (8 * i);
    UINT s = static_cast<UINT>((bits >> (3 * index)) & 7);
    if (s == 0)
        return a0;
    if (s == 1)
        return a1;
    if (a0 > a1)
        return ((8 - static_cast<int>(s)) * a0 + (static_cast<int>(s) - 1) * a1 + 3) / 7;
    if (s == 6)
        return 0;
    if (s == 7)
        return 255;
    return ((6 - static_cast<int>(s)) * a0 + (static_cast<int>(s) - 1) * a1 + 2) / 5;
}

PixelCodec::Rgba OldTexel(D3DFORMAT format, const BYTE* block, UINT x, UINT y) {
    UINT index = (y & 3) * 4 + (x & 3);
    int rgb[3];
    bool transparent = false;
    int alpha = 255;
    switch (format) {
        case D3DFMT_DXT1:
            OldColourTexel(block, index, true, rgb, &transparent);
            if (transparent)
                alpha = 0;
            break;
        case D3DFMT_DXT2:
        case D3DFMT_DXT3:
            OldColourTexel(block + 8, index, false, rgb, &transparent);
            alpha = ((block[index / 2] >> ((index % 2) * 4)) & 15) * 17;
            break;
        case D3DFMT_DXT4:
        case D3DFMT_DXT5:
            OldColourTexel(block + 8, index, false, rgb, &transparent);
            alpha = OldInterpolatedAlpha(block, index);
            break;
        default:
            return {0.0f, 0.0f, 0.0f, 0.0f};
    }
    constexpr float k = 1.0f / 255.0f;
    return {static_cast<float>(rgb[0]) * k, static_cast<float>(rgb[1]) * k,
            static_cast<float>(rgb[2]) * k, static_cast<float>(alpha) * k};
}

// The old read-back's float-to-byte step.
BYTE OldToByte(float value) {
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return 255;
    return static_cast<BYTE>(std::lround(value * 255.0f));
}

D3DCOLOR OldColour(D3DFORMAT format, const BYTE* block, UINT x, UINT y) {
    const PixelCodec::Rgba c = OldTexel(format, block, x, y);
    return D3DCOLOR(OldToByte(c.a)) << 24 | D3DCOLOR(OldToByte(c.r)) << 16 |
           D3DCOLOR(OldToByte(c.g)) << 8 | OldToByte(c.b);
}

// ---- Cases
// ----------------------------------------------------------------------------------------

constexpr D3DFORMAT kFormats[] = {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5};

// Random blocks; the end points are ordered by a coin so both DXT1 colour modes and both DXT5
// alpha modes occur in about half the blocks each, and equal end points turn up too.
std::vector<BYTE> RandomBlocks(D3DFORMAT format, std::size_t count, std::uint32_t seed) {
    std::mt19937 random(seed);
    const UINT bytes = DxtBlock::BlockBytes(format);
    std::vector<BYTE> blocks(count * bytes);
    for (BYTE& b : blocks) b = BYTE(random());
    for (std::size_t i = 0; i < count; ++i) {
        BYTE* block = &blocks[i * bytes];
        if (random() % 8 == 0) {  // equal end points
            block[bytes - 8] = block[bytes - 6];
            block[bytes - 7] = block[bytes - 5];
            block[0] = block[1];
        }
    }
    return blocks;
}

TEST(DxtBlockDecoder, WholeBlocksAndTexelsMatchTheTexelAtATimeDecoding) {
    for (D3DFORMAT format : kFormats) {
        const UINT bytes = DxtBlock::BlockBytes(format);
        const std::vector<BYTE> blocks = RandomBlocks(format, 4096, 7u + UINT(format));
        int threeColour = 0, sixAlpha = 0;
        for (std::size_t b = 0; b < 4096; ++b) {
            const BYTE* block = &blocks[b * bytes];
            const BYTE* colour = format == D3DFMT_DXT1 ? block : block + 8;
            threeColour += (colour[0] | colour[1] << 8) <= (colour[2] | colour[3] << 8);
            sixAlpha += block[0] <= block[1];
            D3DCOLOR texels[16];
            ASSERT_TRUE(DxtBlock::Decode(format, block, texels));
            for (UINT i = 0; i < 16; ++i) {
                const UINT x = i % 4, y = i / 4;
                ASSERT_EQ(texels[i], OldColour(format, block, x, y))
                    << "format " << format << " block " << b << " texel " << i;
                const PixelCodec::Rgba got = DxtBlock::Texel(format, block, x, y);
                const PixelCodec::Rgba old = OldTexel(format, block, x, y);
                ASSERT_TRUE(got.r == old.r && got.g == old.g && got.b == old.b && got.a == old.a)
                    << "format " << format << " block " << b << " texel " << i;
            }
        }
        EXPECT_GT(threeColour, 1000) << format;
        EXPECT_GT(sixAlpha, 1000) << format;
    }
}

TEST(DxtBlockDecoder, ReadBackCutsEdgeBlocksAsTheTexelAtATimeDecoding) {
    struct Size {
        UINT width, height;
    };
    for (D3DFORMAT format : kFormats)
        for (Size s : {Size{1, 1}, Size{3, 2}, Size{4, 4}, Size{13, 7}, Size{16, 5}, Size{6, 12}}) {
            const UINT bytes = DxtBlock::BlockBytes(format);
            const UINT columns = (s.width + 3) / 4, rows = (s.height + 3) / 4;
            // A pitch wider than the blocks, as a locked surface may have.
            const std::size_t pitch = std::size_t(columns) * bytes + 8;
            const std::vector<BYTE> bits = RandomBlocks(format, pitch * rows / bytes + 1, s.width);
            const std::vector<BYTE> pixels =
                D3DXReadPixels(format, bits.data(), pitch, s.width, s.height);
            ASSERT_EQ(pixels.size(), std::size_t(s.width) * s.height * 4);
            for (UINT y = 0; y < s.height; ++y)
                for (UINT x = 0; x < s.width; ++x) {
                    const BYTE* block = &bits[pitch * (y / 4) + std::size_t(x / 4) * bytes];
                    const D3DCOLOR expected = OldColour(format, block, x % 4, y % 4);
                    D3DCOLOR got;
                    std::memcpy(&got, &pixels[(std::size_t(y) * s.width + x) * 4], 4);
                    ASSERT_EQ(got, expected) << "format " << format << " size " << s.width << "x"
                                             << s.height << " texel " << x << "," << y;
                }
        }
}

TEST(DxtBlockDecoder, RefusesFormatsThatAreNotDxt) {
    const BYTE block[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    D3DCOLOR texels[16] = {};
    EXPECT_FALSE(DxtBlock::Decode(D3DFMT_A8R8G8B8, block, texels));
    BYTE out[64] = {};
    EXPECT_FALSE(DxtBlock::DecodeRect(D3DFMT_R5G6B5, block, 8, 4, 4, out, 16));
    for (BYTE b : out) ASSERT_EQ(b, 0);
    const PixelCodec::Rgba c = DxtBlock::Texel(D3DFMT_A8R8G8B8, block, 0, 0);
    EXPECT_TRUE(c.r == 0 && c.g == 0 && c.b == 0 && c.a == 0);
}

}  // namespace
