// Decodes the block-compressed formats (DXT1-DXT5) for the software device's samplers and for
// the D3DX read-back: whole blocks at once, or one texel. DXT1 has two modes: colour 0 above
// colour 1 gives four opaque colours; otherwise the third colour is the midpoint and the fourth
// is transparent black. DXT2 and DXT4 hold premultiplied colours and decode exactly as DXT3 and
// DXT5 (the sampler returns what is stored). Every path builds the block's colour and alpha
// tables the same way, so a texel decodes to the same value whichever path reads it.
// Pure functions, any thread.
#pragma once

#include <cstddef>

#include "Platform/D3D9/D3D9Types.h"
#include "Platform/D3D9/PixelCodec.h"

class DxtBlock {
public:
    // D3DFMT_DXT1 to D3DFMT_DXT5.
    static bool IsDxt(D3DFORMAT format);
    // Bytes of one 4x4 block: 8 for DXT1, 16 for the others.
    static UINT BlockBytes(D3DFORMAT format);

    // The texel (x, y), both 0-3, of the block at bytes (BlockBytes(format) of them).
    // Black with no alpha for a format that is not a DXT format.
    static PixelCodec::Rgba Texel(D3DFORMAT format, const BYTE* block, UINT x, UINT y);

    // The 16 texels of the block, rows top first, as A8R8G8B8 colours. False, writing nothing,
    // for a format that is not a DXT format.
    static bool Decode(D3DFORMAT format, const BYTE* block, D3DCOLOR texels[16]);

    // Decodes width x height texels from rows of blocks (pitch bytes from one row of blocks to
    // the next; the last column and row of blocks may cover fewer than 4 texels) into out as
    // B, G, R, A bytes (outPitch bytes a row). False, writing nothing, for a format that is not a
    // DXT format.
    static bool DecodeRect(D3DFORMAT format, const BYTE* bits, std::size_t pitch, UINT width,
                           UINT height, BYTE* out, std::size_t outPitch);
};
