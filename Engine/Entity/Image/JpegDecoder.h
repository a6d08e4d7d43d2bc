// JPEG files through stb_image, kept at the file's own channel count. Pure functions, any thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Entity/Image/DecodedImage.h"

namespace Zel {

// The signature test: the start-of-image marker FF D8.
bool IsJpegImage(const std::uint8_t* data, std::size_t size);

// Format 2 (R, G, B) for three channels, format 1 (R, G, B, A) for four, rows top first. Answers
// the empty record for input without the marker, any other channel count (grey JPEGs among them),
// a side outside 1..16384, more pixels than the file's bytes could code, a scan whose Huffman
// tables the file does not define (JpegTableCheck.h), or what stb_image refuses.
DecodedImage DecodeJpegImage(const std::uint8_t* data, std::size_t size);

}  // namespace Zel
