// PNG files of colour type 2 or 6 at 8 bits and palette images (type 3) at 1, 2, 4 or 8 bits
// (only 8 when interlaced), inflated with zlib. Pure functions, any thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Entity/Image/DecodedImage.h"

namespace Zel {

// The signature test: the PNG signature, IHDR first and whole, compression and filter method 0,
// and one of the colour type / bit depth pairs above. Grey and grey-alpha images are refused.
bool IsPngImage(const std::uint8_t* data, std::size_t size);

// Format 2 (R, G, B) for type 2, format 1 (R, G, B, A) for type 6; palette images give format 1
// when a tRNS chunk with an entry was seen (indices past it are opaque), else format 2, and an
// index past the palette is opaque black. Answers the empty record when the test fails, a side is
// outside 1..16384, a chunk runs past the input, IDAT or a needed PLTE is missing, the image data
// does not inflate to exactly the size the header gives, or a row's filter type is above 4.
// Chunk CRCs are not checked.
DecodedImage DecodePngImage(const std::uint8_t* data, std::size_t size);

}  // namespace Zel
