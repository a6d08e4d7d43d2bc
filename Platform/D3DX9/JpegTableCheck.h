// A check made before JPEG data reaches stb_image. The stb_image of the system's libstb (2.27)
// decodes a scan with Huffman tables the file never defined, reading uninitialised tables, which
// ends in a failed assertion or an out-of-bounds read; and its header reader (stbi_info too)
// takes a Huffman table segment's code counts as they stand, so counts past 256 symbols, or a
// segment cut short by the end of the file, write past its tables. Both the D3DX loaders and the
// engine's JPEG decoder refuse such files before stb_image reads anything. Pure function, any
// thread.
#pragma once

#include <cstddef>
#include <cstdint>

// Walks the markers from the start-of-image marker: every scan (SOS) must use, for each of its
// components, a DC table (when the scan starts at coefficient 0) and an AC table (when it ends
// after coefficient 0) that a DHT segment before it defined, with ids 0-3. False as well for a
// segment that runs past the end or a DHT that does not fit its segment. Data past the last
// whole segment is left to the decoder.
bool JpegScansUseDefinedTables(const std::uint8_t* data, std::size_t size);
