#include "Entity/Image/ImageSwizzle.h"

#include <cstring>

#include "Entity/Image/PixelFormat.h"

namespace Zel {

std::uint64_t DecodedSurfaceSize(const DecodedImage& image) {
    if (image.IsEmpty())
        return 0;
    if (image.format == PF_A8R8G8B8 || image.format == PF_X8R8G8B8)
        return 4 * std::uint64_t(image.width) * image.height;
    return image.size;
}

void CopyDecodedToSurface(const DecodedImage& image, bool rgbOrder, std::uint8_t* destination) {
    if (image.IsEmpty())
        return;
    if (image.format != PF_A8R8G8B8 && image.format != PF_X8R8G8B8) {
        std::memcpy(destination, image.data.get(), image.size);
        return;
    }
    const bool hasAlpha = image.format == PF_A8R8G8B8;
    const std::size_t bytes = image.bytesPerPixel;
    const std::size_t red = rgbOrder ? 0 : 2, blue = rgbOrder ? 2 : 0;
    std::uint8_t* out = destination;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const std::uint8_t* row = image.data.get() + std::size_t(image.pitch) * y;
        for (std::uint32_t x = 0; x < image.width; ++x, out += 4) {
            const std::uint8_t* pixel = row + bytes * x;
            out[0] = pixel[blue];
            out[1] = pixel[1];
            out[2] = pixel[red];
            out[3] = hasAlpha && bytes == 4 ? pixel[3] : 255;
        }
    }
}

}  // namespace Zel
