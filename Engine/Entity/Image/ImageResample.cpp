#include "Entity/Image/ImageResample.h"

#include <cstring>
#include <vector>

#include "Entity/Image/PixelFormat.h"

namespace Zel {
namespace {

// Source index of each destination position along one axis, and its 16.48 fixed-point position.
std::vector<std::uint64_t> AxisPositions(std::uint32_t sourceSize, std::uint32_t destinationSize) {
    const std::uint64_t step = (std::uint64_t(sourceSize) << 48) / destinationSize;
    std::vector<std::uint64_t> positions(destinationSize);
    std::uint64_t position = step / 2 - 1;
    for (std::uint32_t i = 0; i < destinationSize; ++i, position += step) positions[i] = position;
    return positions;
}

struct Tap {
    std::uint32_t index, next;  // the pixel and its clamped neighbour
    std::uint32_t weight;       // the neighbour's weight in fractional bits
};

// Positions reduced to fracBits fractional bits, less half a pixel, floored at 0.
std::vector<Tap> AxisTaps(std::uint32_t sourceSize, std::uint32_t destinationSize, int fracBits) {
    std::vector<Tap> taps;
    for (std::uint64_t position : AxisPositions(sourceSize, destinationSize)) {
        const std::int64_t half = std::int64_t(1) << (fracBits - 1);
        std::int64_t reduced = std::int64_t(position >> (48 - fracBits)) - half;
        if (reduced < 0)
            reduced = 0;
        Tap tap;
        tap.index = static_cast<std::uint32_t>(reduced >> fracBits);
        if (tap.index >= sourceSize)
            tap.index = sourceSize - 1;
        tap.next = tap.index + 1 < sourceSize ? tap.index + 1 : sourceSize - 1;
        tap.weight = static_cast<std::uint32_t>(reduced & ((std::int64_t(1) << fracBits) - 1));
        taps.push_back(tap);
    }
    return taps;
}

void Nearest(const SurfacePixels& s, const SurfacePixels& d, std::size_t bytes) {
    const auto xs = AxisPositions(s.width, d.width);
    const auto ys = AxisPositions(s.height, d.height);
    const auto zs = AxisPositions(s.depth, d.depth);
    std::uint8_t* out = d.data;
    for (std::uint32_t z = 0; z < d.depth; ++z)
        for (std::uint32_t y = 0; y < d.height; ++y)
            for (std::uint32_t x = 0; x < d.width; ++x, out += bytes) {
                const std::size_t sx = xs[x] >> 48, sy = ys[y] >> 48, sz = zs[z] >> 48;
                std::memcpy(out, s.data + ((sz * s.height + sy) * s.width + sx) * bytes, bytes);
            }
}

void Bilinear8888(const SurfacePixels& s, const SurfacePixels& d) {
    const auto xs = AxisTaps(s.width, d.width, 12);
    const auto ys = AxisTaps(s.height, d.height, 12);
    std::uint8_t* out = d.data;
    for (std::uint32_t y = 0; y < d.height; ++y) {
        const std::uint8_t* row0 = s.data + std::size_t(ys[y].index) * s.width * 4;
        const std::uint8_t* row1 = s.data + std::size_t(ys[y].next) * s.width * 4;
        const std::uint64_t fy = ys[y].weight, gy = 4096 - fy;
        for (std::uint32_t x = 0; x < d.width; ++x, out += 4) {
            const std::size_t x0 = std::size_t(xs[x].index) * 4, x1 = std::size_t(xs[x].next) * 4;
            const std::uint64_t fx = xs[x].weight, gx = 4096 - fx;
            for (int c = 0; c < 4; ++c) {
                const std::uint64_t sum = row0[x0 + c] * gx * gy + row0[x1 + c] * fx * gy +
                                          row1[x0 + c] * gx * fy + row1[x1 + c] * fx * fy;
                out[c] = static_cast<std::uint8_t>((sum + 0x800000) >> 24);
            }
        }
    }
}

// Float channels of the formats PackPixel cannot write: halves or floats, 1 or 2 of them.
struct FloatLayout {
    int channels;
    bool half;
};

bool FloatChannels(std::uint32_t format, FloatLayout& layout) {
    switch (format) {
        case PF_G16R16F:
            layout = {2, true};
            return true;
        case PF_R32F:
            layout = {1, false};
            return true;
        case PF_G32R32F:
            layout = {2, false};
            return true;
        default:
            return false;
    }
}

void ReadColour(std::uint32_t format, const std::uint8_t* pixel, float colour[4]) {
    FloatLayout layout;
    if (!FloatChannels(format, layout)) {
        UnpackPixel(format, pixel, colour);
        return;
    }
    for (int c = 0; c < 4; ++c) colour[c] = 0.0f;
    for (int c = 0; c < layout.channels; ++c) {
        if (layout.half) {
            std::uint16_t h;
            std::memcpy(&h, pixel + 2 * c, 2);
            colour[c] = HalfToFloatValue(h);
        } else {
            std::memcpy(&colour[c], pixel + 4 * c, 4);
        }
    }
}

void WriteColour(std::uint32_t format, const float colour[4], std::uint8_t* pixel) {
    FloatLayout layout;
    if (!FloatChannels(format, layout)) {
        PackPixel(colour, format, pixel);
        return;
    }
    for (int c = 0; c < layout.channels; ++c) {
        if (layout.half) {
            const std::uint16_t h = FloatToHalfValue(colour[c]);
            std::memcpy(pixel + 2 * c, &h, 2);
        } else {
            std::memcpy(pixel + 4 * c, &colour[c], 4);
        }
    }
}

void Trilinear(const SurfacePixels& s, const SurfacePixels& d, std::uint32_t format,
               std::size_t bytes) {
    const auto xs = AxisTaps(s.width, d.width, 16);
    const auto ys = AxisTaps(s.height, d.height, 16);
    const auto zs = AxisTaps(s.depth, d.depth, 16);
    auto at = [&](std::uint32_t x, std::uint32_t y, std::uint32_t z) {
        return s.data + ((std::size_t(z) * s.height + y) * s.width + x) * bytes;
    };
    std::uint8_t* out = d.data;
    for (std::uint32_t z = 0; z < d.depth; ++z)
        for (std::uint32_t y = 0; y < d.height; ++y)
            for (std::uint32_t x = 0; x < d.width; ++x, out += bytes) {
                float sum[4] = {};
                for (int corner = 0; corner < 8; ++corner) {
                    const Tap& tx = xs[x];
                    const Tap& ty = ys[y];
                    const Tap& tz = zs[z];
                    const float wx = (corner & 1 ? tx.weight : 65536 - tx.weight) / 65536.0f;
                    const float wy = (corner & 2 ? ty.weight : 65536 - ty.weight) / 65536.0f;
                    const float wz = (corner & 4 ? tz.weight : 65536 - tz.weight) / 65536.0f;
                    float colour[4];
                    ReadColour(format,
                               at(corner & 1 ? tx.next : tx.index, corner & 2 ? ty.next : ty.index,
                                  corner & 4 ? tz.next : tz.index),
                               colour);
                    for (int c = 0; c < 4; ++c) sum[c] += wx * wy * wz * colour[c];
                }
                WriteColour(format, sum, out);
            }
}

bool ValidSize(const SurfacePixels& p) {
    return p.data != nullptr && p.width >= 1 && p.height >= 1 && p.depth >= 1 && p.width <= 16384 &&
           p.height <= 16384 && p.depth <= 16384;
}

}  // namespace

bool ResamplePixels(const SurfacePixels& source, const SurfacePixels& destination,
                    std::uint32_t format, int filter) {
    if (!ValidSize(source) || !ValidSize(destination))
        return false;
    const std::size_t bytes = GetPixelFormatBytesPerPixel(format);
    if (filter == RESAMPLE_NEAREST) {
        switch (bytes) {
            case 1:
            case 2:
            case 3:
            case 4:
            case 6:
            case 8:
            case 12:
            case 16:
                Nearest(source, destination, bytes);
                return true;
            default:
                return false;
        }
    }
    if (filter != RESAMPLE_LINEAR && filter != RESAMPLE_LINEAR_MIP)
        return false;
    const bool bytes8888 = format == PF_A8R8G8B8 || format == PF_X8R8G8B8;
    if (bytes8888 && source.depth == 1 && destination.depth == 1) {
        Bilinear8888(source, destination);
        return true;
    }
    if (bytes8888 || format == PF_A16B16G16R16 || IsPixelFormatFloat(format)) {
        Trilinear(source, destination, format, bytes);
        return true;
    }
    return false;
}

}  // namespace Zel
