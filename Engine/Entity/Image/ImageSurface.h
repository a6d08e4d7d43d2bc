// One level of an image's pixels. The owning image's pixel format applies to all its surfaces.
// Owned by its image; used on the loading thread.
#pragma once

#include <cstdint>
#include <memory>

namespace Zel {

class Image;

class ImageSurface {
public:
    // A surface of width x height x depth whose data takes `size` bytes (left unset).
    ImageSurface(Image* owner, std::uint32_t level, std::uint32_t width, std::uint32_t height,
                 std::uint32_t depth, std::uint32_t size);
    ~ImageSurface();
    ImageSurface(const ImageSurface&) = delete;
    ImageSurface& operator=(const ImageSurface&) = delete;

    std::uint32_t GetWidth() const { return width_; }
    std::uint32_t GetHeight() const { return height_; }
    std::uint32_t GetDepth() const { return depth_; }
    std::uint32_t GetLevel() const { return level_; }
    Image* GetOwner() const { return owner_; }
    std::uint8_t* GetData() const { return data_.get(); }
    std::uint32_t GetDataSize() const { return size_; }

    // Resamples this surface into destination (filter 0 nearest, 1 or 2 bilinear; see
    // ResamplePixels) in the owning image's format. False, writing nothing, for a format or
    // filter the resampler refuses.
    bool ResampleTo(ImageSurface& destination, int filter) const;
    // Resamples into new data of width x height (same depth) and frees the old data. False,
    // changing nothing, when it cannot.
    bool ScaleTo(std::uint32_t width, std::uint32_t height, int filter);
    // Takes new data of `size` bytes (the surface's size in a new format).
    void ReplaceData(std::unique_ptr<std::uint8_t[]> data, std::uint32_t size);

private:
    Image* owner_;
    std::uint32_t level_;
    std::uint32_t width_, height_, depth_;
    std::unique_ptr<std::uint8_t[]> data_;
    std::uint32_t size_;
};

}  // namespace Zel
