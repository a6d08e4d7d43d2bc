#include "Platform/D3DX9/D3DX9Pixels.h"

#include <stb/stb_dxt.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "Platform/D3D9/D3D9Format.h"
#include "Platform/D3D9/DxtBlock.h"
#include "Platform/D3D9/PixelCodec.h"

namespace {

bool ExplicitAlpha(D3DFORMAT format) {
    return format == D3DFMT_DXT2 || format == D3DFMT_DXT3;
}

BYTE ToByte(float value) {
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return 255;
    return static_cast<BYTE>(std::lround(value * 255.0f));
}

void StoreBgra(const PixelCodec::Rgba& c, BYTE* out) {
    out[0] = ToByte(c.b);
    out[1] = ToByte(c.g);
    out[2] = ToByte(c.r);
    out[3] = ToByte(c.a);
}

// ---- DXT ----------------------------------------------------------------------------------------

void EncodeBlock(D3DFORMAT format, const BYTE bgra[16][4], BYTE* block) {
    BYTE rgba[16][4];
    for (int k = 0; k < 16; ++k) {
        rgba[k][0] = bgra[k][2];
        rgba[k][1] = bgra[k][1];
        rgba[k][2] = bgra[k][0];
        rgba[k][3] = bgra[k][3];
    }
    if (format == D3DFMT_DXT1) {
        stb_compress_dxt_block(block, rgba[0], 0, STB_DXT_NORMAL);
    } else if (ExplicitAlpha(format)) {
        for (int k = 0; k < 16; k += 2)
            block[k / 2] =
                BYTE((rgba[k][3] * 15 + 127) / 255 | ((rgba[k + 1][3] * 15 + 127) / 255) << 4);
        stb_compress_dxt_block(block + 8, rgba[0], 0, STB_DXT_NORMAL);
    } else {
        stb_compress_dxt_block(block, rgba[0], 1, STB_DXT_NORMAL);
    }
}

// ---- Resampling ---------------------------------------------------------------------------------

struct Contribution {
    UINT source;
    double weight;
};

// For each destination index along one axis, the source pixels it covers and their shares.
std::vector<std::vector<Contribution>> AxisAverage(UINT source, UINT destination) {
    std::vector<std::vector<Contribution>> axis(destination);
    const double scale = double(source) / destination;
    for (UINT i = 0; i < destination; ++i) {
        const double begin = i * scale, end = (i + 1) * scale;
        for (UINT j = UINT(begin); j < source && j < end; ++j) {
            const double overlap = std::min(end, j + 1.0) - std::max(begin, double(j));
            if (overlap > 0)
                axis[i].push_back({j, overlap / scale});
        }
    }
    return axis;
}

std::vector<BYTE> Average(const std::vector<BYTE>& pixels, UINT sw, UINT sh, UINT dw, UINT dh) {
    const auto xs = AxisAverage(sw, dw), ys = AxisAverage(sh, dh);
    std::vector<double> rows(std::size_t(sh) * dw * 4, 0.0);
    for (UINT y = 0; y < sh; ++y)
        for (UINT x = 0; x < dw; ++x)
            for (const Contribution& c : xs[x])
                for (int k = 0; k < 4; ++k)
                    rows[(std::size_t(y) * dw + x) * 4 + k] +=
                        c.weight * pixels[(std::size_t(y) * sw + c.source) * 4 + k];
    std::vector<BYTE> out(std::size_t(dw) * dh * 4);
    for (UINT y = 0; y < dh; ++y)
        for (UINT x = 0; x < dw; ++x)
            for (int k = 0; k < 4; ++k) {
                double sum = 0.0;
                for (const Contribution& c : ys[y])
                    sum += c.weight * rows[(std::size_t(c.source) * dw + x) * 4 + k];
                out[(std::size_t(y) * dw + x) * 4 + k] =
                    BYTE(std::clamp(std::lround(sum), 0L, 255L));
            }
    return out;
}

}  // namespace

bool D3DXIsBlockFormat(D3DFORMAT format) {
    return DxtBlock::IsDxt(format);
}

std::size_t D3DXBlockRowBytes(D3DFORMAT format, UINT width) {
    return std::size_t((width + 3) / 4) * DxtBlock::BlockBytes(format);
}

UINT D3DXLevelSide(UINT side, UINT level) {
    const UINT shifted = level < 32 ? side >> level : 0;
    return shifted ? shifted : 1;
}

UINT D3DXFullChainLevels(UINT width, UINT height) {
    UINT levels = 1;
    while ((width | height) >> levels) ++levels;
    return levels;
}

bool D3DXCanConvert(D3DFORMAT format) {
    return D3DXIsBlockFormat(format) || PixelCodec::Supports(format);
}

std::vector<BYTE> D3DXReadPixels(D3DFORMAT format, const BYTE* bits, std::size_t pitch, UINT width,
                                 UINT height) {
    if (!D3DXCanConvert(format))
        return {};
    std::vector<BYTE> pixels(std::size_t(width) * height * 4);
    if (D3DXIsBlockFormat(format)) {
        DxtBlock::DecodeRect(format, bits, pitch, width, height, pixels.data(),
                             std::size_t(width) * 4);
        return pixels;
    }
    const UINT depth = D3D9Format::Find(format)->bytesPerPixel;
    for (UINT y = 0; y < height; ++y) {
        const BYTE* row = bits + pitch * y;
        BYTE* out = &pixels[std::size_t(y) * width * 4];
        if (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8) {
            std::memcpy(out, row, std::size_t(width) * 4);
            if (format == D3DFMT_X8R8G8B8)
                for (UINT x = 0; x < width; ++x) out[x * 4 + 3] = 255;
            continue;
        }
        for (UINT x = 0; x < width; ++x, out += 4)
            StoreBgra(PixelCodec::Decode(format, row + std::size_t(x) * depth), out);
    }
    return pixels;
}

bool D3DXWritePixels(D3DFORMAT format, const BYTE* pixels, UINT width, UINT height, BYTE* bits,
                     std::size_t pitch) {
    if (!D3DXCanConvert(format))
        return false;
    if (D3DXIsBlockFormat(format)) {
        const UINT bytes = DxtBlock::BlockBytes(format);
        for (UINT by = 0; by < (height + 3) / 4; ++by)
            for (UINT bx = 0; bx < (width + 3) / 4; ++bx) {
                BYTE block[16][4];
                for (UINT k = 0; k < 16; ++k) {
                    const UINT x = std::min(bx * 4 + k % 4, width - 1);
                    const UINT y = std::min(by * 4 + k / 4, height - 1);
                    std::memcpy(block[k], pixels + (std::size_t(y) * width + x) * 4, 4);
                }
                EncodeBlock(format, block, bits + pitch * by + std::size_t(bx) * bytes);
            }
        return true;
    }
    const UINT depth = D3D9Format::Find(format)->bytesPerPixel;
    for (UINT y = 0; y < height; ++y) {
        const BYTE* in = pixels + std::size_t(y) * width * 4;
        BYTE* row = bits + pitch * y;
        if (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8) {
            std::memcpy(row, in, std::size_t(width) * 4);
            if (format == D3DFMT_X8R8G8B8)
                for (UINT x = 0; x < width; ++x) row[x * 4 + 3] = 255;
            continue;
        }
        for (UINT x = 0; x < width; ++x, in += 4) {
            const PixelCodec::Rgba c{in[2] / 255.0f, in[1] / 255.0f, in[0] / 255.0f,
                                     in[3] / 255.0f};
            PixelCodec::Encode(format, c, row + std::size_t(x) * depth);
        }
    }
    return true;
}

std::vector<BYTE> D3DXResamplePixels(const std::vector<BYTE>& pixels, UINT sourceWidth,
                                     UINT sourceHeight, UINT width, UINT height,
                                     D3DXResampleKind kind) {
    if (width == sourceWidth && height == sourceHeight)
        return pixels;
    if (kind == D3DXResampleKind::Average)
        return Average(pixels, sourceWidth, sourceHeight, width, height);
    std::vector<BYTE> out(std::size_t(width) * height * 4, 0);
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x) {
            UINT sx = x, sy = y;
            if (kind == D3DXResampleKind::Point) {
                sx = UINT((std::uint64_t(x) * 2 + 1) * sourceWidth / (2 * std::uint64_t(width)));
                sy = UINT((std::uint64_t(y) * 2 + 1) * sourceHeight / (2 * std::uint64_t(height)));
            } else if (sx >= sourceWidth || sy >= sourceHeight) {
                continue;
            }
            std::memcpy(&out[(std::size_t(y) * width + x) * 4],
                        &pixels[(std::size_t(sy) * sourceWidth + sx) * 4], 4);
        }
    return out;
}
