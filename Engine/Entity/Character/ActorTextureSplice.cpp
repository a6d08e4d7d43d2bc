#include "Entity/Character/ActorTextureSplice.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Core/LogDispatch.h"
#include "Entity/Image/DxtCompressor.h"
#include "Entity/Image/ImageResample.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Texture/BlendTextures.h"
#include "Entity/Texture/TextureBase.h"

namespace Zel {

namespace {

constexpr std::uint32_t kPartSizes[kTexturePartCount][2] = {{1024, 1024}, {512, 512}, {512, 512},
                                                            {512, 256},   {512, 512}, {512, 256},
                                                            {512, 256},   {512, 256}, {512, 256}};

constexpr PartTexRect kPartRects[kTexturePartCount] = {
    {0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f},
    {0.0f, 0.5f, 0.5f, 0.5f, 0.0f, 0.0f, 1.0f, 1.0f},
    {0.0f, 0.5f, 0.5f, 0.5f, 0.0f, 0.0f, 1.0f, 1.0f},
    {0.0f, 0.25f, 0.5f, 0.25f, 0.0f, 0.0f, 1.0f, 1.0f},
    {0.5f, 0.5f, 0.5f, 0.5f, 0.0f, 0.0f, 1.0f, 1.0f},
    {0.0f, 0.0f, 0.375f, 0.25f, 0.0f, 0.0f, 0.75f, 1.0f},
    {0.5f, 0.25f, 0.5f, 0.25f, 0.0f, 0.0f, 1.0f, 1.0f},
    {0.375f, 0.0f, 0.25f, 0.25f, 0.0f, 0.0f, 1.0f, 1.0f},
    {0.625f, 0.0f, 0.375f, 0.25f, 0.0f, 0.0f, 0.75f, 1.0f}};

// The second table lets part 7 reach to x = 0.875; part 8, composed last, lies over its right end.
constexpr PartTexRect kPartRectsAlt[kTexturePartCount] = {
    kPartRects[0], kPartRects[1],
    kPartRects[2], kPartRects[3],
    kPartRects[4], kPartRects[5],
    kPartRects[6], {0.375f, 0.0f, 0.5f, 0.25f, 0.0f, 0.0f, 1.0f, 1.0f},
    kPartRects[8]};

std::int32_t AtlasPixel(float fraction) {
    return static_cast<std::int32_t>(std::floor(fraction * float(kAtlasSize)));
}

// Bytes of one DXT5 level: 16 per 4 x 4 block, at least one block each way.
std::uint32_t BlockRows(std::uint32_t side) {
    return std::max(1u, (side + 3) / 4);
}

}  // namespace

bool GetPartTexSize(std::uint32_t part, std::uint32_t* width, std::uint32_t* height) {
    const bool known = part < kTexturePartCount;
    *width = known ? kPartSizes[part][0] : 0;
    *height = known ? kPartSizes[part][1] : 0;
    return known;
}

const PartTexRect& GetPartTexRect(std::uint32_t part) {
    return kPartRects[part < kTexturePartCount ? part : 0];
}

const PartTexRect& GetPartTexRectAlt(std::uint32_t part) {
    return kPartRectsAlt[part < kTexturePartCount ? part : 0];
}

bool CustomTexture::Set(std::uint32_t newPart, float u, float v, std::uint32_t w, std::uint32_t h,
                        const std::uint8_t* data, std::uint64_t bufferSize) {
    Drop();
    if (newPart >= kTexturePartCount) {
        LogTyped(LOG_ENGINE_INIT, "ERROR:自定义贴图作用的BodyPart不正确");
        return false;
    }
    if (!data || w == 0 || h == 0) {
        LogTyped(LOG_ENGINE_INIT, "ERROR:缺少自定义贴图数据");
        return false;
    }
    const std::uint64_t bytes = std::uint64_t(w) * h * 4;
    if (bytes > bufferSize) {
        LogTyped(LOG_ENGINE_INIT, "ERROR:贴图大小大于传入的BUFFER大小");
        return false;
    }
    const PartTexRect& rect = GetPartTexRect(newPart);
    const float left = rect.x * float(kAtlasSize), top = rect.y * float(kAtlasSize);
    const float width = rect.width * float(kAtlasSize), height = rect.height * float(kAtlasSize);
    if (float(w) > width) {
        LogTyped(LOG_ENGINE_INIT, "ERROR:自定义贴图宽度大于其作用的BodyPart宽度");
        return false;
    }
    if (float(h) > height) {
        LogTyped(LOG_ENGINE_INIT, "ERROR:自定义贴图高度大于其作用的BodyPart高度");
        return false;
    }
    // The image must stay inside its part's rectangle: anywhere else it would paint over another
    // part, or past the atlas.
    const float px = left + width * u, py = top + height * v;
    const bool inside = std::isfinite(px) && std::isfinite(py) && u >= 0.0f && v >= 0.0f &&
                        std::floor(px) + float(w) <= left + width &&
                        std::floor(py) + float(h) <= top + height;
    if (!inside) {
        LogTyped(LOG_ENGINE_INIT, "ERROR:自定义贴图位置超出其作用的BodyPart u=%f v=%f", u, v);
        return false;
    }
    part = static_cast<std::int32_t>(newPart);
    x = px;
    y = py;
    pixelWidth = w;
    pixelHeight = h;
    pixels.assign(data, data + bytes);
    return true;
}

bool ComposePartBlock(std::uint8_t* atlas, const std::uint8_t* image, std::uint32_t imageWidth,
                      std::uint32_t imageHeight, const PartTexRect& rect, bool dxt) {
    BlendTexturesDesc desc;
    desc.destination = atlas;
    desc.source = image;
    desc.destinationWidth = desc.destinationHeight = std::int32_t(kAtlasSize);
    desc.copyWidth = static_cast<std::int32_t>(std::floor(rect.right * float(imageWidth)));
    desc.copyHeight = static_cast<std::int32_t>(std::floor(rect.bottom * float(imageHeight)));
    desc.sourcePitch = static_cast<std::int32_t>(imageWidth * 4);
    desc.x = AtlasPixel(rect.x);
    desc.y = AtlasPixel(rect.y);
    return BlendTextures(desc, dxt);
}

bool ComposeCustomTexture(std::uint8_t* atlas, const CustomTexture& custom, bool dxt) {
    if (!custom.IsHeld())
        return false;
    BlendTexturesDesc desc;
    desc.destination = atlas;
    desc.source = custom.pixels.data();
    desc.destinationWidth = desc.destinationHeight = std::int32_t(kAtlasSize);
    desc.copyWidth = std::int32_t(custom.pixelWidth);
    desc.copyHeight = std::int32_t(custom.pixelHeight);
    desc.sourcePitch = std::int32_t(custom.pixelWidth * 4);
    desc.x = static_cast<std::int32_t>(std::floor(custom.x));
    desc.y = static_cast<std::int32_t>(std::floor(custom.y));
    return BlendTextures(desc, dxt);
}

void ClampLodSize(std::uint32_t* width, std::uint32_t* height) {
    if (*width == 0 || *height == 0 || *width > kAtlasSize || *height > kAtlasSize) {
        *width = kAtlasSize;
        *height = kAtlasSize;
    }
}

bool UploadArgbLevels(TextureBase& texture, const std::uint8_t* pixels, std::uint32_t width,
                      std::uint32_t height, std::uint8_t* workA, std::uint8_t* workB) {
    std::vector<TextureBase::LockRecord> levels;
    if (!texture.LockAllLevels(levels)) {
        texture.UnlockAllLevels();
        return false;
    }
    const std::uint8_t* source = pixels;
    std::uint8_t* work[2] = {workA, workB};
    std::uint32_t w = width, h = height;
    for (std::size_t level = 0; level < levels.size(); ++level) {
        if (level > 0) {
            if (w <= 1 || h <= 1)
                break;
            const std::uint32_t nw = std::max(1u, w / 2), nh = std::max(1u, h / 2);
            std::uint8_t* target = work[(level - 1) % 2];
            const SurfacePixels from{const_cast<std::uint8_t*>(source), w, h, 1};
            const SurfacePixels to{target, nw, nh, 1};
            if (!ResamplePixels(from, to, PF_A8R8G8B8, RESAMPLE_LINEAR_MIP))
                break;
            source = target;
            w = nw;
            h = nh;
        }
        auto* bits = static_cast<std::uint8_t*>(levels[level].bits);
        // The first row of the pixels goes to the last row of the level.
        for (std::uint32_t r = 0; r < h; ++r)
            std::memcpy(bits + std::size_t(h - 1 - r) * std::size_t(levels[level].pitch),
                        source + std::size_t(r) * w * 4, std::size_t(w) * 4);
    }
    texture.UnlockAllLevels();
    texture.OnContentChanged();
    return true;
}

bool UploadDxt5Levels(TextureBase& texture, const std::uint8_t* pixels, std::uint32_t width,
                      std::uint32_t height, std::uint8_t* work, std::uint64_t capacity) {
    std::uint32_t written = 0;
    const auto room = static_cast<std::uint32_t>(std::min<std::uint64_t>(capacity, 0xFFFFFFFFu));
    if (!CompressDxt5(pixels, room, PF_DXT5, width, height, work, true, written))
        return false;
    std::vector<TextureBase::LockRecord> levels;
    if (!texture.LockAllLevels(levels)) {
        texture.UnlockAllLevels();
        return false;
    }
    // Each level is copied at its own size: a block row at a time, at the level's pitch.
    std::uint64_t offset = 0;
    std::uint32_t w = width, h = height;
    for (std::size_t level = 0; level < levels.size(); ++level) {
        const std::uint32_t rowBytes = BlockRows(w) * 16, rows = BlockRows(h);
        if (offset + std::uint64_t(rowBytes) * rows > written)
            break;
        auto* bits = static_cast<std::uint8_t*>(levels[level].bits);
        for (std::uint32_t r = 0; r < rows; ++r)
            std::memcpy(bits + std::size_t(r) * std::size_t(levels[level].pitch),
                        work + offset + std::size_t(r) * rowBytes, rowBytes);
        offset += std::uint64_t(rowBytes) * rows;
        if (w <= 1 && h <= 1)
            break;
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
    }
    texture.UnlockAllLevels();
    texture.OnContentChanged();
    return true;
}

}  // namespace Zel
