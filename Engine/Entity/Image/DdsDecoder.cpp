#include "Entity/Image/DdsDecoder.h"

#include <cstring>

#include "Entity/Image/ImageBytes.h"
#include "Entity/Image/PixelFormat.h"

namespace Zel {
namespace {

using ImageBytes::Inside;
using ImageBytes::Le32;

constexpr std::size_t kDdsHeaderSize = 128;
constexpr std::uint32_t kFlagPitch = 0x8;    // DDSD_PITCH in the header flags
constexpr std::uint32_t kPixelAlpha = 0x1;   // DDPF_ALPHAPIXELS
constexpr std::uint32_t kPixelFourCc = 0x4;  // DDPF_FOURCC
constexpr std::uint32_t kPixelRgb = 0x40;    // DDPF_RGB

DecodedImage DecodeBlocks(const std::uint8_t* data, std::size_t size, std::uint32_t format,
                          std::uint32_t width, std::uint32_t height) {
    DecodedImage image;
    image.format = format;
    image.width = width;
    image.height = height;
    image.bytesPerPixel = format == PF_DXT1 ? 8 : 16;
    image.blockColumns = (width + 3) / 4;
    image.blockRows = (height + 3) / 4;
    image.pitch = image.blockColumns * image.bytesPerPixel;
    image.size = image.pitch * image.blockRows;
    if (!Inside(kDdsHeaderSize, image.size, size))
        return {};
    image.data = std::make_unique_for_overwrite<std::uint8_t[]>(image.size);
    std::memcpy(image.data.get(), data + kDdsHeaderSize, image.size);
    return image;
}

DecodedImage DecodeRgb(const std::uint8_t* data, std::size_t size, std::uint32_t width,
                       std::uint32_t height, std::uint32_t bits) {
    std::uint64_t sourcePitch;
    if (bits == 32) {
        sourcePitch = 4 * std::uint64_t(width);
    } else if (bits == 24) {
        sourcePitch = 3 * std::uint64_t(width);
        const std::uint64_t headerPitch = Le32(data, 20);
        if ((Le32(data, 8) & kFlagPitch) && headerPitch >= sourcePitch &&
            Inside(kDdsHeaderSize, headerPitch * height, size)) {
            sourcePitch = headerPitch;
        }
    } else {
        return {};
    }
    if (!Inside(kDdsHeaderSize, sourcePitch * height, size))
        return {};

    DecodedImage image;
    image.format = PF_X8R8G8B8;
    image.width = width;
    image.height = height;
    image.bytesPerPixel = 3;
    image.pitch = ((width * 24 + 31) / 8) & ~3u;
    image.size = image.pitch * height;
    image.data = std::make_unique<std::uint8_t[]>(image.size);  // zeroed row padding
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* source = data + kDdsHeaderSize + sourcePitch * y;
        std::uint8_t* out = image.data.get() + std::size_t(image.pitch) * y;
        if (bits == 24) {
            std::memcpy(out, source, 3 * std::size_t(width));
        } else {
            for (std::uint32_t x = 0; x < width; ++x) std::memcpy(out + 3 * x, source + 4 * x, 3);
        }
    }
    return image;
}

DecodedImage DecodeRgba(const std::uint8_t* data, std::size_t size, std::uint32_t width,
                        std::uint32_t height, std::uint32_t bits) {
    if (bits != 32 || !Inside(kDdsHeaderSize, 4 * std::uint64_t(width) * height, size))
        return {};
    DecodedImage image = AllocateDecodedRgba(width, height);
    std::memcpy(image.data.get(), data + kDdsHeaderSize, image.size);
    return image;
}

}  // namespace

std::uint32_t ClassifyDdsImage(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < kDdsHeaderSize)
        return PF_NONE;
    const std::uint32_t flags = Le32(data, 80);
    if (flags & kPixelFourCc) {
        if (data[84] != 'D' || data[85] != 'X' || data[86] != 'T')
            return PF_NONE;
        if (data[87] < '1' || data[87] > '5')
            return PF_NONE;
        return PF_DXT1 + (data[87] - '1');
    }
    if (flags & kPixelRgb)
        return (flags & kPixelAlpha) ? PF_A8R8G8B8 : PF_X8R8G8B8;
    return PF_NONE;
}

bool IsDdsImage(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < kDdsHeaderSize)
        return false;
    return std::memcmp(data, "DDS ", 4) == 0 && ClassifyDdsImage(data, size) != PF_NONE;
}

DecodedImage DecodeDdsImage(const std::uint8_t* data, std::size_t size) {
    if (!IsDdsImage(data, size))
        return {};
    const std::uint32_t height = Le32(data, 12);
    const std::uint32_t width = Le32(data, 16);
    const std::uint32_t bits = Le32(data, 88);
    if (!IsDecodableSide(width) || !IsDecodableSide(height))
        return {};
    const std::uint32_t format = ClassifyDdsImage(data, size);
    if (IsPixelFormatCompressed(format))
        return DecodeBlocks(data, size, format, width, height);
    if (format == PF_X8R8G8B8)
        return DecodeRgb(data, size, width, height, bits);
    return DecodeRgba(data, size, width, height, bits);
}

}  // namespace Zel
