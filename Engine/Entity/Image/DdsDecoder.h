// DirectDraw surface files: the top-level image of DXT1-DXT5 block data or of 24/32-bit RGB
// pixels, with or without alpha. Mip levels and further surfaces are not read. Pure functions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Entity/Image/DecodedImage.h"

namespace Zel {

// The pixel format a DDS header describes: 6-10 for the FourCCs "DXT1"-"DXT5", 1 for RGB with
// alpha, 2 for RGB, 0 for anything else (other FourCCs, "DX10" included). size must be >= 128.
std::uint32_t ClassifyDdsImage(const std::uint8_t* data, std::size_t size);

// The signature test: "DDS ", a whole 128-byte header, and a format that classifies.
bool IsDdsImage(const std::uint8_t* data, std::size_t size);

// DXT: the top level's block rows as stored. Format 2: 3-byte B, G, R pixels in rows padded to a
// multiple of 4 bytes, from a 24-bit source (rows of the header pitch when the DDSD_PITCH flag
// gives one that is at least 3 x width and the file holds every such row, else of 3 x width) or a
// 32-bit one (its first three bytes a pixel). Format 1: 32-bit pixels copied. Answers the empty
// record when the test fails, a side is outside 1..16384, the bit count does not fit the format,
// or the file does not hold the top-level image.
DecodedImage DecodeDdsImage(const std::uint8_t* data, std::size_t size);

}  // namespace Zel
