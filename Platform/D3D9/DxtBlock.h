// Decodes single texels of the block-compressed formats (DXT1-DXT5) for the software device's
// samplers. DXT1 has two modes: colour 0 above colour 1 gives four opaque colours; otherwise the
// third colour is the midpoint and the fourth is transparent black. DXT2 and DXT4 hold
// premultiplied colours and decode exactly as DXT3 and DXT5 (the sampler returns what is stored).
#pragma once

#include "Platform/D3D9/D3D9Types.h"
#include "Platform/D3D9/PixelCodec.h"

class DxtBlock {
public:
    // The texel (x, y), both 0-3, of the block at bytes (8 bytes for DXT1, 16 for the others).
    // Black with no alpha for a format that is not a DXT format.
    static PixelCodec::Rgba Texel(D3DFORMAT format, const BYTE* block, UINT x, UINT y);
};
