// The compositing step of character body textures: a 32-bit source picture laid over a rectangle
// of a 32-bit destination picture with source-over-destination alpha blending. Pixel bytes 0-2
// are colour channels (treated alike), byte 3 is alpha. The destination is one of the texture
// manager's scratch buffers. Composing runs on one thread at a time (the callers' duty).
#pragma once

#include <cstdint>

namespace Zel {

struct BlendTexturesDesc {
    std::uint8_t* destination = nullptr;  // rows of destinationWidth x 4 bytes
    const std::uint8_t* source = nullptr;
    std::int32_t destinationWidth = 0;
    std::int32_t destinationHeight = 0;
    std::int32_t copyWidth = 0;    // pixels per row to blend
    std::int32_t copyHeight = 0;   // rows to blend
    std::int32_t sourcePitch = 0;  // bytes per source row
    std::int32_t x = 0, y = 0;     // top-left destination pixel of the rectangle
};

// Validates and blends. Source rows are read from the last upward; destination rows run from y
// down, or with flip from destinationHeight - y - 1 up. A destination pixel with alpha below
// 0.001 takes the source pixel whole; otherwise ao = 1 - (1 - ad)(1 - as), each colour becomes
// s·as/ao + d·(1 - as)·ad/ao and alpha ao·255, rounded to nearest, ties to even.
//
// Refused, writing nothing and logging " Blend Texture Failed, %d,%d,%d,%d,%d,%d" (destination
// width and height, copy width and height, x, y): a null pointer; x or y below 0; a size not
// above 0; a source pitch below 4 x copy width; a rectangle reaching outside the destination; a
// destination that does not lie in a scratch buffer of the texture manager with room for
// destination width x height x 4 bytes. Answers whether it blended.
bool BlendTextures(const BlendTexturesDesc& desc, bool flip);

}  // namespace Zel
