#include "Entity/Image/JpegDecoder.h"

#include <stb/stb_image.h>

#include <climits>
#include <cstring>

#include "Platform/D3DX9/JpegTableCheck.h"

namespace Zel {
namespace {

// Every 8x8 block of every component costs at least one bit of entropy-coded data, so a file
// cannot code more than 512 pixels a byte; stb_image pads a short stream with zeros, and this bound
// keeps a truncated or hostile header from making it allocate for pixels the file does not hold.
constexpr std::uint64_t kMaxPixelsPerByte = 512;

}  // namespace

bool IsJpegImage(const std::uint8_t* data, std::size_t size) {
    return data != nullptr && size >= 2 && data[0] == 0xFF && data[1] == 0xD8;
}

DecodedImage DecodeJpegImage(const std::uint8_t* data, std::size_t size) {
    // The marker test also keeps stb_image to its JPEG reader: it would take other formats too.
    if (!IsJpegImage(data, size) || size > INT_MAX)
        return {};
    // Before stb_image sees any byte: its header reader alone already overruns its tables on a
    // Huffman table segment that lies about its size.
    if (!JpegScansUseDefinedTables(data, size))
        return {};
    const int length = static_cast<int>(size);
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(data, length, &width, &height, &channels))
        return {};
    if (!IsDecodableSide(std::uint64_t(width)) || !IsDecodableSide(std::uint64_t(height)))
        return {};
    if (std::uint64_t(width) * std::uint64_t(height) > kMaxPixelsPerByte * size)
        return {};
    if (channels != 3 && channels != 4)
        return {};

    stbi_uc* pixels = stbi_load_from_memory(data, length, &width, &height, &channels, 0);
    if (pixels == nullptr)
        return {};
    DecodedImage image;
    if (channels == 3 || channels == 4) {
        image = channels == 3 ? AllocateDecodedRgb(std::uint32_t(width), std::uint32_t(height))
                              : AllocateDecodedRgba(std::uint32_t(width), std::uint32_t(height));
        std::memcpy(image.data.get(), pixels, image.size);
    }
    stbi_image_free(pixels);
    return image;
}

}  // namespace Zel
