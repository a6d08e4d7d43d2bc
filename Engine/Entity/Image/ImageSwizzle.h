// Turns a decoded record's pixels into the bytes of a level-0 surface.
#pragma once

#include <cstdint>

#include "Entity/Image/DecodedImage.h"

namespace Zel {

// Bytes the surface of a decoded record takes: 4 x width x height for formats 1 and 2, the
// record's size for block data; 0 for an empty record.
std::uint64_t DecodedSurfaceSize(const DecodedImage& image);

// Writes the surface bytes of a non-empty record into destination (DecodedSurfaceSize bytes).
// Formats 1 and 2 become 4-byte B, G, R, A pixels (A8R8G8B8 / X8R8G8B8 memory order): each source
// pixel is read with exactly its bytes per pixel at pitch x y + bytes per pixel x x, red and blue
// are exchanged only when rgbOrder says the decoder delivered R, G, B (PNG and JPEG), and format 2
// gets alpha 255. Any other format is copied as it stands.
void CopyDecodedToSurface(const DecodedImage& image, bool rgbOrder, std::uint8_t* destination);

}  // namespace Zel
