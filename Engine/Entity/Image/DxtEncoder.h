// The system's own S3TC encoder: 32-bit images to DXT1, DXT3 or DXT5 blocks. Pure functions with
// no state between calls; any thread.
#pragma once

#include <cstdint>

namespace Zel {

// Encodes a width x height image of B, G, R, A pixels (rows of 4 x width bytes, no padding) into
// row-major 4x4 blocks at destination, which must hold ceil(width/4) x ceil(height/4) blocks of 8
// bytes (DXT1) or 16 bytes (DXT3, DXT5); the last column and row of tiles take the 1 to 3 pixels
// that remain. mode 1 with format 6 (PF_DXT1) encodes DXT1, with 8 (PF_DXT3) DXT3, with 10
// (PF_DXT5) DXT5; mode 2 with format 6 encodes DXT1 as if every alpha were 255. Any other pair, a
// null pointer or a zero side answers false and writes nothing.
bool DxtEncodeImage(int mode, const std::uint8_t* source, std::uint32_t width, std::uint32_t height,
                    std::uint32_t format, std::uint8_t* destination);

}  // namespace Zel
