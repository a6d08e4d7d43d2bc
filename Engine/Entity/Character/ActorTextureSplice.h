// The pieces of an actor's spliced body texture: the part rectangles of the 1024 x 1024 atlas,
// the placement of a caller's custom texture, composing part images into the atlas, scaling it to
// the level of detail's size and writing the pixels into a texture's levels (32-bit or DXT5).
// Pixels are 32-bit B, G, R, A bytes throughout. The atlas and the work buffers are the texture
// manager's scratch buffers, so composing runs on one thread at a time.
#pragma once

#include <cstdint>
#include <vector>

namespace Zel {

class TextureBase;

// Atlas x, y, width, height (fractions of the atlas), then the block of the part image taken
// (left, top, right, bottom as fractions of the image; left and top are always 0).
struct PartTexRect {
    float x, y, width, height;
    float left, top, right, bottom;
};

inline constexpr std::uint32_t kAtlasSize = 1024;
inline constexpr std::uint32_t kTexturePartCount = 9;
// Parts are laid over the atlas in this order.
inline constexpr std::uint32_t kPartComposeOrder[kTexturePartCount] = {0, 1, 2, 7, 3, 4, 5, 6, 8};

// Part n's pixel size in the atlas; false (0 x 0) past part 8.
bool GetPartTexSize(std::uint32_t part, std::uint32_t* width, std::uint32_t* height);
// The two rectangle tables (they differ in part 7's width); part n past 8 gives part 0's row.
const PartTexRect& GetPartTexRect(std::uint32_t part);
const PartTexRect& GetPartTexRectAlt(std::uint32_t part);

// A caller's image pasted over its part at the next rebuild.
struct CustomTexture {
    std::int32_t part = -1;    // -1: none held
    float x = 0.0f, y = 0.0f;  // atlas pixel of the top-left corner
    std::uint32_t pixelWidth = 0, pixelHeight = 0;
    std::vector<std::uint8_t> pixels;  // width x height x 4 bytes

    bool IsHeld() const { return part >= 0; }
    void Drop() { *this = CustomTexture{}; }
    // Drops what is held, checks the request and keeps a copy of the pixels. Refused (logged,
    // nothing held): a part past 8, no data, w x h x 4 bytes more than the buffer holds, a width
    // or height larger than the part's rectangle, and a placement (u, v as fractions of the
    // rectangle) that does not keep the whole image inside the rectangle.
    bool Set(std::uint32_t part, float u, float v, std::uint32_t w, std::uint32_t h,
             const std::uint8_t* data, std::uint64_t bufferSize);
};

// Blends a block of a part image (rows of imageWidth x 4 bytes, imageHeight rows) into the atlas
// at the rectangle; with dxt the image lands mirrored vertically (as the DXT upload expects).
// False, logged by the blender, when the block is empty or reaches past the atlas.
bool ComposePartBlock(std::uint8_t* atlas, const std::uint8_t* image, std::uint32_t imageWidth,
                      std::uint32_t imageHeight, const PartTexRect& rect, bool dxt);
// Lays the custom texture over the atlas at its placement.
bool ComposeCustomTexture(std::uint8_t* atlas, const CustomTexture& custom, bool dxt);

// The target size of a level of detail's texture: sizes above the atlas are refused and kept at
// 1024 x 1024 (the scaled atlas must fit the smaller scratch buffer).
void ClampLodSize(std::uint32_t* width, std::uint32_t* height);

// Writes 32-bit pixels (width x height) into every level of a locked-level texture: the first row
// of the pixels into the last row of level 0, each further level halved (filter 2) from the one
// before, work buffers a and b alternating. False when the levels cannot be locked.
bool UploadArgbLevels(TextureBase& texture, const std::uint8_t* pixels, std::uint32_t width,
                      std::uint32_t height, std::uint8_t* workA, std::uint8_t* workB);
// Compresses the pixels with their smaller levels to DXT5 into work (capacity bytes) and copies
// the levels into the texture's. False when the compression or the lock fails.
bool UploadDxt5Levels(TextureBase& texture, const std::uint8_t* pixels, std::uint32_t width,
                      std::uint32_t height, std::uint8_t* work, std::uint64_t capacity);

}  // namespace Zel
