#include "Platform/D3D9/DxtBlock.h"

namespace {

WORD Word(const BYTE* p) {
    return static_cast<WORD>(p[0] | (p[1] << 8));
}

// A 5:6:5 colour widened to 8 bits per channel by repeating the top bits.
void Expand565(WORD c, int rgb[3]) {
    int r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    rgb[0] = (r << 3) | (r >> 2);
    rgb[1] = (g << 2) | (g >> 4);
    rgb[2] = (b << 3) | (b >> 2);
}

// The colour half of a block (8 bytes): the texel's colour in 8-bit channels and whether it is
// DXT1's transparent black.
void ColourTexel(const BYTE* block, UINT index, bool threeColourAllowed, int rgb[3],
                 bool* transparent) {
    WORD c0 = Word(block), c1 = Word(block + 2);
    int a[3], b[3];
    Expand565(c0, a);
    Expand565(c1, b);
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

// DXT4/5 alpha: two 8-bit end points and 3-bit selectors.
int InterpolatedAlpha(const BYTE* block, UINT index) {
    int a0 = block[0], a1 = block[1];
    // 48 bits of selectors, little-endian, from byte 2.
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

}  // namespace

PixelCodec::Rgba DxtBlock::Texel(D3DFORMAT format, const BYTE* block, UINT x, UINT y) {
    UINT index = (y & 3) * 4 + (x & 3);
    int rgb[3];
    bool transparent = false;
    int alpha = 255;
    switch (format) {
        case D3DFMT_DXT1:
            ColourTexel(block, index, true, rgb, &transparent);
            if (transparent)
                alpha = 0;
            break;
        case D3DFMT_DXT2:
        case D3DFMT_DXT3:
            ColourTexel(block + 8, index, false, rgb, &transparent);
            alpha = ((block[index / 2] >> ((index % 2) * 4)) & 15) * 17;
            break;
        case D3DFMT_DXT4:
        case D3DFMT_DXT5:
            ColourTexel(block + 8, index, false, rgb, &transparent);
            alpha = InterpolatedAlpha(block, index);
            break;
        default:
            return {0.0f, 0.0f, 0.0f, 0.0f};
    }
    constexpr float k = 1.0f / 255.0f;
    return {static_cast<float>(rgb[0]) * k, static_cast<float>(rgb[1]) * k,
            static_cast<float>(rgb[2]) * k, static_cast<float>(alpha) * k};
}
