#include "Entity/Image/DecodedImage.h"

#include "Entity/Image/PixelFormat.h"

namespace Zel {
namespace {

DecodedImage Allocate(std::uint32_t width, std::uint32_t height, std::uint32_t bytesPerPixel,
                      std::uint32_t format) {
    DecodedImage image;
    image.format = format;
    image.width = width;
    image.height = height;
    image.bytesPerPixel = bytesPerPixel;
    image.pitch = bytesPerPixel * width;
    image.size = image.pitch * height;
    image.data = std::make_unique_for_overwrite<std::uint8_t[]>(image.size);
    return image;
}

}  // namespace

DecodedImage AllocateDecodedRgb(std::uint32_t width, std::uint32_t height) {
    return Allocate(width, height, 3, PF_X8R8G8B8);
}

DecodedImage AllocateDecodedRgba(std::uint32_t width, std::uint32_t height) {
    return Allocate(width, height, 4, PF_A8R8G8B8);
}

}  // namespace Zel
