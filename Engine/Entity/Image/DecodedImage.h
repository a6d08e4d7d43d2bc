// The record every image decoder answers: one top-level image in the file's own channel order.
// A decoder that refuses its input answers the empty record (no data, every field 0).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace Zel {

// The largest width or height a decoder accepts; larger images are refused.
constexpr std::uint32_t kMaxDecodedImageSide = 16384;

struct DecodedImage {
    // PixelFormat: 1 for 4-byte pixels with alpha, 2 for 3-byte pixels, 6-10 for DXT1-DXT5 blocks.
    std::uint32_t format = 0;
    // The pixels, rows top first, no padding unless pitch says so; owned by the record.
    std::unique_ptr<std::uint8_t[]> data;
    // Bytes in data.
    std::uint32_t size = 0;
    // Bytes per row (per row of 4x4 blocks for DXT).
    std::uint32_t pitch = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // DXT only: blocks across and down; else 0.
    std::uint32_t blockColumns = 0;
    std::uint32_t blockRows = 0;
    // 3 or 4; for DXT the bytes per 4x4 block (8 or 16).
    std::uint32_t bytesPerPixel = 0;

    bool IsEmpty() const { return data == nullptr || size == 0 || format == 0; }
};

// The two shared allocations of uncompressed results, rows unpadded: format 2 with pitch 3 x width,
// or format 1 with pitch 4 x width. The pixels are left unset. width and height must be 1 to
// kMaxDecodedImageSide.
DecodedImage AllocateDecodedRgb(std::uint32_t width, std::uint32_t height);
DecodedImage AllocateDecodedRgba(std::uint32_t width, std::uint32_t height);

// Whether a width or height lies in 1..kMaxDecodedImageSide.
inline bool IsDecodableSide(std::uint64_t side) {
    return side >= 1 && side <= kMaxDecodedImageSide;
}

}  // namespace Zel
