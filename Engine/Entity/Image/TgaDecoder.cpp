#include "Entity/Image/TgaDecoder.h"

#include <cstring>

#include "Entity/Image/ImageBytes.h"

namespace Zel {
namespace {

using ImageBytes::Inside;
using ImageBytes::Le16;

constexpr std::size_t kTgaHeaderSize = 18;
constexpr std::uint8_t kTgaColourMapped = 1;
constexpr std::uint8_t kTgaTrueColour = 2;
constexpr std::uint8_t kTgaGrey = 3;
constexpr std::uint8_t kTopDownBit = 0x20;

}  // namespace

bool IsTgaImage(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < kTgaHeaderSize)
        return false;
    if (Le16(data, 8) != 0 || Le16(data, 10) != 0)
        return false;
    const std::uint8_t type = data[2];
    if (type & 0x08)
        return false;
    const std::uint8_t mapType = data[1];
    const std::uint16_t mapLength = Le16(data, 5);
    const std::uint8_t depth = data[16];
    switch (type & 0x07) {
        case kTgaTrueColour:
            return mapType == 0 && mapLength == 0 && (depth == 24 || depth == 32);
        case kTgaColourMapped:
            return mapType == 1 && mapLength > 0 && data[7] == 24 && depth == 8;
        case kTgaGrey:
            return depth == 8;
        default:
            return false;
    }
}

DecodedImage DecodeTgaImage(const std::uint8_t* data, std::size_t size) {
    if (!IsTgaImage(data, size))
        return {};
    const std::uint8_t type = data[2] & 0x07;
    const std::uint32_t width = Le16(data, 12);
    const std::uint32_t height = Le16(data, 14);
    const std::uint32_t depth = data[16];
    const bool topDown = (data[17] & kTopDownBit) != 0;
    if (!IsDecodableSide(width) || !IsDecodableSide(height))
        return {};

    // A colour map present in the file sits between the identifier and the pixels, whatever the
    // image type; its entries take (entry bits + 7) / 8 bytes.
    const std::uint64_t mapOffset = kTgaHeaderSize + std::uint64_t(data[0]);
    const std::uint64_t mapFirst = Le16(data, 3);
    const std::uint64_t mapLength = Le16(data, 5);
    const std::uint64_t mapBytes = data[1] == 1 ? mapLength * ((data[7] + 7u) / 8) : 0;
    const std::uint64_t pixelOffset = mapOffset + mapBytes;
    const std::uint64_t sourcePitch = std::uint64_t(width) * depth / 8;
    if (!Inside(mapOffset, mapBytes, size) || !Inside(pixelOffset, sourcePitch * height, size))
        return {};

    DecodedImage image =
        depth == 32 ? AllocateDecodedRgba(width, height) : AllocateDecodedRgb(width, height);
    const std::uint8_t* map = data + mapOffset;
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* source = data + pixelOffset + sourcePitch * y;
        std::uint8_t* out =
            image.data.get() + std::size_t(image.pitch) * (topDown ? y : height - 1 - y);
        if (type == kTgaTrueColour) {
            std::memcpy(out, source, image.pitch);
        } else if (type == kTgaGrey) {
            for (std::uint32_t x = 0; x < width; ++x)
                out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = source[x];
        } else {
            for (std::uint32_t x = 0; x < width; ++x) {
                const std::uint64_t entry = std::uint64_t(source[x]) - mapFirst;
                std::uint8_t* pixel = out + 3 * std::size_t(x);
                if (source[x] >= mapFirst && entry < mapLength) {
                    std::memcpy(pixel, map + 3 * entry, 3);
                } else {
                    pixel[0] = pixel[1] = pixel[2] = 0;
                }
            }
        }
    }
    return image;
}

}  // namespace Zel
