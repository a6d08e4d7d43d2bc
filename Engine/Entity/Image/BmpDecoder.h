// Windows bitmap files: uncompressed 24- and 32-bit images and 4- and 8-bit palette images,
// bottom-up (positive height) or top-down (negative height). Pure functions, any thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Entity/Image/DecodedImage.h"

namespace Zel {

// The signature test: "BM", at least 54 bytes, holds its pixel-data offset, BI_RGB, one plane,
// and 4 or 8 bits with a colours-used count or 24 or 32 bits without one.
bool IsBmpImage(const std::uint8_t* data, std::size_t size);

// Format 1 (B, G, R, A) for 32 bits, else format 2 (B, G, R); rows top first. Palette images take
// B, G, R from the palette at offset 54; an index beyond the colours used gives black. Answers the
// empty record when the header fails the test, a side is outside 1..16384, or the file does not
// hold its palette or every row.
DecodedImage DecodeBmpImage(const std::uint8_t* data, std::size_t size);

}  // namespace Zel
