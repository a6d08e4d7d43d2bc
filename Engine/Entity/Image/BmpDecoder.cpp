#include "Entity/Image/BmpDecoder.h"

#include <cstring>

#include "Entity/Image/ImageBytes.h"

namespace Zel {
namespace {

using ImageBytes::Inside;
using ImageBytes::Le16;
using ImageBytes::Le32;

constexpr std::size_t kBmpHeaderSize = 54;
constexpr std::size_t kFileHeaderSize = 14;
// The smallest info header that holds the fields read here (BITMAPINFOHEADER); the larger forms
// (108 and 124 bytes) add fields after them, and the palette follows the whole header.
constexpr std::uint32_t kMinInfoHeaderSize = 40;

}  // namespace

bool IsBmpImage(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < kBmpHeaderSize)
        return false;
    if (data[0] != 'B' || data[1] != 'M')
        return false;
    if (size < Le32(data, 10))
        return false;
    if (Le32(data, 30) != 0 || Le16(data, 26) != 1)
        return false;
    const std::uint16_t bits = Le16(data, 28);
    if (Le32(data, 46) > 0)
        return bits == 4 || bits == 8;
    return bits == 24 || bits == 32;
}

DecodedImage DecodeBmpImage(const std::uint8_t* data, std::size_t size) {
    if (!IsBmpImage(data, size))
        return {};
    const std::uint64_t pixelOffset = Le32(data, 10);
    const std::uint64_t width = Le32(data, 18);
    const std::int32_t rawHeight = static_cast<std::int32_t>(Le32(data, 22));
    const bool topDown = rawHeight < 0;
    const std::uint64_t height = topDown ? 0 - std::int64_t(rawHeight) : std::uint64_t(rawHeight);
    const std::uint32_t bits = Le16(data, 28);
    const std::uint64_t coloursUsed = Le32(data, 46);
    const std::uint32_t infoHeaderSize = Le32(data, kFileHeaderSize);
    if (!IsDecodableSide(width) || !IsDecodableSide(height) || infoHeaderSize < kMinInfoHeaderSize)
        return {};
    const std::uint64_t paletteOffset = kFileHeaderSize + std::uint64_t(infoHeaderSize);

    const std::uint64_t sourcePitch = (bits * width + 31) / 32 * 4;
    if (!Inside(pixelOffset, sourcePitch * height, size))
        return {};
    if (coloursUsed > 0 && !Inside(paletteOffset, coloursUsed * 4, size))
        return {};

    const auto w = static_cast<std::uint32_t>(width);
    const auto h = static_cast<std::uint32_t>(height);
    DecodedImage image = bits == 32 ? AllocateDecodedRgba(w, h) : AllocateDecodedRgb(w, h);
    const std::uint8_t* palette = coloursUsed > 0 ? data + paletteOffset : nullptr;

    for (std::uint32_t y = 0; y < h; ++y) {
        const std::uint8_t* source = data + pixelOffset + sourcePitch * y;
        std::uint8_t* out = image.data.get() + std::size_t(image.pitch) * (topDown ? y : h - 1 - y);
        if (coloursUsed == 0) {
            std::memcpy(out, source, image.pitch);
            continue;
        }
        for (std::uint32_t x = 0; x < w; ++x) {
            std::uint32_t index;
            if (bits == 8) {
                index = source[x];
            } else {
                const std::uint8_t pair = source[x / 2];
                index = (x % 2 == 0) ? pair >> 4 : pair & 0x0F;
            }
            std::uint8_t* pixel = out + 3 * std::size_t(x);
            if (index < coloursUsed) {
                std::memcpy(pixel, palette + 4 * std::size_t(index), 3);
            } else {
                pixel[0] = pixel[1] = pixel[2] = 0;
            }
        }
    }
    return image;
}

}  // namespace Zel
