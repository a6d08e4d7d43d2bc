// Truevision TGA files without run-length encoding: true colour (24/32 bits), colour-mapped
// (8-bit indices into a 24-bit map) and grey (8 bits). Pure functions, any thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Entity/Image/DecodedImage.h"

namespace Zel {

// The signature test: at least 18 bytes, zero origin, no run-length bit, and type 2 (no map,
// 24/32 bits), type 1 (a 24-bit map of at least one entry, 8 bits) or type 3 (8 bits).
bool IsTgaImage(const std::uint8_t* data, std::size_t size);

// Format 1 (B, G, R, A) for 32-bit true colour, else format 2 (B, G, R; grey bytes repeated);
// rows top first whichever order the descriptor's bit 5 gives. A colour-map index outside the map
// gives black. Answers the empty record when the header fails the test, a side is outside
// 1..16384, or the file does not hold its identifier, map and rows.
DecodedImage DecodeTgaImage(const std::uint8_t* data, std::size_t size);

}  // namespace Zel
