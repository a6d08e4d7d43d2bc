#include "Platform/D3D9/DxtBlock.h"

#include <cstdint>
#include <cstring>

#include <emmintrin.h>

namespace {

constexpr D3DCOLOR kOpaque = 0xFF000000u;

std::uint32_t Le16(const BYTE* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
}

std::uint32_t Le32(const BYTE* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// A 5:6:5 colour widened to 8 bits per channel by repeating the top bits.
void Expand565(std::uint32_t c, int rgb[3]) {
    const int r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    rgb[0] = (r << 3) | (r >> 2);
    rgb[1] = (g << 2) | (g >> 4);
    rgb[2] = (b << 3) | (b >> 2);
}

D3DCOLOR Pack(int r, int g, int b) {
    return D3DCOLOR(r) << 16 | D3DCOLOR(g) << 8 | D3DCOLOR(b);
}

// The four colours of a colour block (its first 8 bytes). opaque is ORed into every colour but
// DXT1's transparent black, so DXT1 gets its alpha here and the other formats add theirs later.
inline __attribute__((always_inline)) void ColourTable(const BYTE* block, bool threeColourAllowed,
                                                       D3DCOLOR opaque, D3DCOLOR table[4]) {
    const std::uint32_t c0 = Le16(block), c1 = Le16(block + 2);
    int a[3], b[3];
    Expand565(c0, a);
    Expand565(c1, b);
    table[0] = Pack(a[0], a[1], a[2]) | opaque;
    table[1] = Pack(b[0], b[1], b[2]) | opaque;
    if (!threeColourAllowed || c0 > c1) {
        table[2] =
            Pack((2 * a[0] + b[0] + 1) / 3, (2 * a[1] + b[1] + 1) / 3, (2 * a[2] + b[2] + 1) / 3) |
            opaque;
        table[3] =
            Pack((a[0] + 2 * b[0] + 1) / 3, (a[1] + 2 * b[1] + 1) / 3, (a[2] + 2 * b[2] + 1) / 3) |
            opaque;
    } else {
        table[2] =
            Pack((a[0] + b[0] + 1) / 2, (a[1] + b[1] + 1) / 2, (a[2] + b[2] + 1) / 2) | opaque;
        table[3] = 0;
    }
}

// DXT4/5 alpha: the eight values the 3-bit selectors pick, already in the alpha byte's place.
inline __attribute__((always_inline)) void AlphaTable(const BYTE* block, D3DCOLOR table[8]) {
    const int a0 = block[0], a1 = block[1];
    table[0] = D3DCOLOR(a0) << 24;
    table[1] = D3DCOLOR(a1) << 24;
    if (a0 > a1) {
        for (int s = 2; s < 8; ++s)
            table[s] = D3DCOLOR(((8 - s) * a0 + (s - 1) * a1 + 3) / 7) << 24;
    } else {
        for (int s = 2; s < 6; ++s)
            table[s] = D3DCOLOR(((6 - s) * a0 + (s - 1) * a1 + 2) / 5) << 24;
        table[6] = 0;
        table[7] = kOpaque;
    }
}

// 48 bits of 3-bit alpha selectors, little-endian, from byte 2 of a DXT4/5 block.
std::uint64_t AlphaSelectors(const BYTE* block) {
    std::uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= std::uint64_t(block[2 + i]) << (8 * i);
    return bits;
}

enum class Kind { Dxt1, Dxt3, Dxt5 };

Kind KindOf(D3DFORMAT format) {
    if (format == D3DFMT_DXT1)
        return Kind::Dxt1;
    return format == D3DFMT_DXT2 || format == D3DFMT_DXT3 ? Kind::Dxt3 : Kind::Dxt5;
}

// The colour selectors of a block row picked out lane by lane without variable shifts: lane x
// of row y holds the texel's 2-bit selector in place (mask) and is compared with each selector
// value shifted to the same place.
struct SelectorLanes {
    alignas(16) std::uint32_t mask[4][4];
    alignas(16) std::uint32_t value[4][4][4];  // [selector][row][lane]
};

constexpr SelectorLanes MakeSelectorLanes() {
    SelectorLanes lanes{};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const int shift = 8 * y + 2 * x;
            lanes.mask[y][x] = 3u << shift;
            for (std::uint32_t s = 0; s < 4; ++s) lanes.value[s][y][x] = s << shift;
        }
    return lanes;
}

constexpr SelectorLanes kSelectorLanes = MakeSelectorLanes();

inline __m128i Load(const std::uint32_t* p) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
}

// One block's 16 texels into four rows of four colours, rowPitch bytes apart. Each row picks
// its colours with compares: colour 0, with the difference to colour s added back (XOR) in the
// lanes whose selector is s.
template <Kind kKind>
inline __attribute__((always_inline)) void DecodeBlock(const BYTE* block, BYTE* out,
                                                       std::size_t rowPitch) {
    D3DCOLOR colours[4];
    const BYTE* colourBlock = kKind == Kind::Dxt1 ? block : block + 8;
    ColourTable(colourBlock, kKind == Kind::Dxt1, kKind == Kind::Dxt1 ? kOpaque : 0, colours);
    const __m128i selectors = _mm_set1_epi32(static_cast<int>(Le32(colourBlock + 4)));
    const __m128i first = _mm_set1_epi32(static_cast<int>(colours[0]));
    const __m128i to1 = _mm_set1_epi32(static_cast<int>(colours[0] ^ colours[1]));
    const __m128i to2 = _mm_set1_epi32(static_cast<int>(colours[0] ^ colours[2]));
    const __m128i to3 = _mm_set1_epi32(static_cast<int>(colours[0] ^ colours[3]));
    D3DCOLOR alphas[8];
    std::uint64_t alphaSelectors = 0;
    if constexpr (kKind == Kind::Dxt5) {
        AlphaTable(block, alphas);
        alphaSelectors = AlphaSelectors(block);
    }
    for (int y = 0; y < 4; ++y) {
        const __m128i picked = _mm_and_si128(selectors, Load(kSelectorLanes.mask[y]));
        __m128i row = first;
        row = _mm_xor_si128(
            row, _mm_and_si128(_mm_cmpeq_epi32(picked, Load(kSelectorLanes.value[1][y])), to1));
        row = _mm_xor_si128(
            row, _mm_and_si128(_mm_cmpeq_epi32(picked, Load(kSelectorLanes.value[2][y])), to2));
        row = _mm_xor_si128(
            row, _mm_and_si128(_mm_cmpeq_epi32(picked, Load(kSelectorLanes.value[3][y])), to3));
        if constexpr (kKind == Kind::Dxt3) {
            const std::uint32_t n = Le16(block + 2 * y);
            row = _mm_or_si128(row, _mm_set_epi32(static_cast<int>(((n >> 12) & 15) * 0x11000000u),
                                                  static_cast<int>(((n >> 8) & 15) * 0x11000000u),
                                                  static_cast<int>(((n >> 4) & 15) * 0x11000000u),
                                                  static_cast<int>((n & 15) * 0x11000000u)));
        } else if constexpr (kKind == Kind::Dxt5) {
            const std::uint32_t s = static_cast<std::uint32_t>(alphaSelectors >> (12 * y));
            row = _mm_or_si128(row, _mm_set_epi32(static_cast<int>(alphas[(s >> 9) & 7]),
                                                  static_cast<int>(alphas[(s >> 6) & 7]),
                                                  static_cast<int>(alphas[(s >> 3) & 7]),
                                                  static_cast<int>(alphas[s & 7])));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + rowPitch * std::size_t(y)), row);
    }
}

template <Kind kKind>
void DecodeRows(const BYTE* bits, std::size_t pitch, UINT width, UINT height, BYTE* out,
                std::size_t outPitch) {
    constexpr std::size_t kBytes = kKind == Kind::Dxt1 ? 8 : 16;
    const UINT fullColumns = width / 4, columns = (width + 3) / 4;
    for (UINT by = 0; by < (height + 3) / 4; ++by) {
        const BYTE* blocks = bits + pitch * by;
        BYTE* rows = out + outPitch * 4 * by;
        const UINT rowsHere = height - 4 * by < 4 ? height - 4 * by : 4;
        UINT bx = 0;
        if (rowsHere == 4)
            for (; bx < fullColumns; ++bx)
                DecodeBlock<kKind>(blocks + kBytes * bx, rows + 16 * bx, outPitch);
        // Blocks the image edge cuts decode whole into a scratch block first.
        for (; bx < columns; ++bx) {
            BYTE texels[64];
            DecodeBlock<kKind>(blocks + kBytes * bx, texels, 16);
            const UINT columnsHere = width - 4 * bx < 4 ? width - 4 * bx : 4;
            for (UINT y = 0; y < rowsHere; ++y)
                std::memcpy(rows + outPitch * y + 16 * std::size_t(bx), texels + 16 * y,
                            4 * std::size_t(columnsHere));
        }
    }
}

}  // namespace

bool DxtBlock::IsDxt(D3DFORMAT format) {
    return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 ||
           format == D3DFMT_DXT4 || format == D3DFMT_DXT5;
}

UINT DxtBlock::BlockBytes(D3DFORMAT format) {
    return format == D3DFMT_DXT1 ? 8 : 16;
}

PixelCodec::Rgba DxtBlock::Texel(D3DFORMAT format, const BYTE* block, UINT x, UINT y) {
    if (!IsDxt(format))
        return {0.0f, 0.0f, 0.0f, 0.0f};
    const UINT index = (y & 3) * 4 + (x & 3);
    const Kind kind = KindOf(format);
    const BYTE* colourBlock = kind == Kind::Dxt1 ? block : block + 8;
    D3DCOLOR colours[4];
    ColourTable(colourBlock, kind == Kind::Dxt1, kOpaque, colours);
    D3DCOLOR c = colours[(Le32(colourBlock + 4) >> (2 * index)) & 3];
    if (kind == Kind::Dxt3) {
        c = (c & 0xFFFFFF) |
            ((Le16(block + 2 * (index / 4)) >> (4 * (index % 4))) & 15) * 0x11000000u;
    } else if (kind == Kind::Dxt5) {
        D3DCOLOR alphas[8];
        AlphaTable(block, alphas);
        c = (c & 0xFFFFFF) | alphas[(AlphaSelectors(block) >> (3 * index)) & 7];
    }
    constexpr float k = 1.0f / 255.0f;
    return {static_cast<float>((c >> 16) & 0xFF) * k, static_cast<float>((c >> 8) & 0xFF) * k,
            static_cast<float>(c & 0xFF) * k, static_cast<float>(c >> 24) * k};
}

bool DxtBlock::Decode(D3DFORMAT format, const BYTE* block, D3DCOLOR texels[16]) {
    if (!IsDxt(format))
        return false;
    BYTE* out = reinterpret_cast<BYTE*>(texels);
    switch (KindOf(format)) {
        case Kind::Dxt1:
            DecodeBlock<Kind::Dxt1>(block, out, 16);
            break;
        case Kind::Dxt3:
            DecodeBlock<Kind::Dxt3>(block, out, 16);
            break;
        case Kind::Dxt5:
            DecodeBlock<Kind::Dxt5>(block, out, 16);
            break;
    }
    return true;
}

bool DxtBlock::DecodeRect(D3DFORMAT format, const BYTE* bits, std::size_t pitch, UINT width,
                          UINT height, BYTE* out, std::size_t outPitch) {
    if (!IsDxt(format))
        return false;
    switch (KindOf(format)) {
        case Kind::Dxt1:
            DecodeRows<Kind::Dxt1>(bits, pitch, width, height, out, outPitch);
            break;
        case Kind::Dxt3:
            DecodeRows<Kind::Dxt3>(bits, pitch, width, height, out, outPitch);
            break;
        case Kind::Dxt5:
            DecodeRows<Kind::Dxt5>(bits, pitch, width, height, out, outPitch);
            break;
    }
    return true;
}
