#include "Entity/Image/ImageSurface.h"

#include "Entity/Image/Image.h"
#include "Entity/Image/ImageResample.h"
#include "Entity/Image/PixelFormat.h"

namespace Zel {

ImageSurface::ImageSurface(Image* owner, std::uint32_t level, std::uint32_t width,
                           std::uint32_t height, std::uint32_t depth, std::uint32_t size)
    : owner_(owner),
      level_(level),
      width_(width),
      height_(height),
      depth_(depth),
      data_(std::make_unique_for_overwrite<std::uint8_t[]>(size)),
      size_(size) {}

ImageSurface::~ImageSurface() = default;

bool ImageSurface::ResampleTo(ImageSurface& destination, int filter) const {
    const SurfacePixels from{data_.get(), width_, height_, depth_};
    const SurfacePixels to{destination.data_.get(), destination.width_, destination.height_,
                           destination.depth_};
    return ResamplePixels(from, to, owner_->GetFormat(), filter);
}

bool ImageSurface::ScaleTo(std::uint32_t width, std::uint32_t height, int filter) {
    const std::uint64_t size = GetPixelFormatByteSize(width, height, depth_, owner_->GetFormat());
    if (size == 0 || size > UINT32_MAX)
        return false;
    auto data = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    const SurfacePixels from{data_.get(), width_, height_, depth_};
    const SurfacePixels to{data.get(), width, height, depth_};
    if (!ResamplePixels(from, to, owner_->GetFormat(), filter))
        return false;
    data_ = std::move(data);
    size_ = static_cast<std::uint32_t>(size);
    width_ = width;
    height_ = height;
    return true;
}

void ImageSurface::ReplaceData(std::unique_ptr<std::uint8_t[]> data, std::uint32_t size) {
    data_ = std::move(data);
    size_ = size;
}

}  // namespace Zel
