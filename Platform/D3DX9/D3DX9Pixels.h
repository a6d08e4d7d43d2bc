// Pixel work shared by the D3DX texture loaders and the surface saver: conversions between the
// layer's working form (B, G, R, A bytes, rows top first, no padding) and the pixels or DXT blocks
// of a Direct3D format, and resampling. Pure functions, any thread.
#pragma once

#include <cstddef>
#include <vector>

#include "Platform/D3D9/D3D9Types.h"

// How a size change picks its pixels.
enum class D3DXResampleKind {
    None,     // pixels stay in place; outside the source they are transparent black
    Point,    // the nearest source pixel
    Average,  // the average of the source area a pixel covers
};

// D3DFMT_DXT1 to D3DFMT_DXT5.
bool D3DXIsBlockFormat(D3DFORMAT format);
// Bytes of one row of 4x4 blocks of a DXT format covering width pixels.
std::size_t D3DXBlockRowBytes(D3DFORMAT format, UINT width);
// A side of a mip level: side >> level, at least 1.
UINT D3DXLevelSide(UINT side, UINT level);
// Levels of the full chain of a width x height level 0, down to 1 x 1.
UINT D3DXFullChainLevels(UINT width, UINT height);
// Whether the loaders can write (and the saver read) the format: the DXT formats and the
// uncompressed colour formats of the software device.
bool D3DXCanConvert(D3DFORMAT format);

// Reads width x height pixels of the format from bits (rows of pitch bytes; for DXT rows of 4x4
// blocks) into B, G, R, A form, the way the device samples them (DxtBlock, PixelCodec).
// Answers an empty vector for a format D3DXCanConvert refuses.
std::vector<BYTE> D3DXReadPixels(D3DFORMAT format, const BYTE* bits, std::size_t pitch, UINT width,
                                 UINT height);

// Writes width x height pixels in B, G, R, A form into bits (rows of pitch bytes, or of 4x4
// blocks) in the format: X8R8G8B8 gets alpha 255; other colour formats go through the device's
// pixel codec; DXT formats are encoded (stb_dxt, the edge blocks padded by repeating the last
// row and column; DXT1 is opaque). Answers false, writing nothing, for a format D3DXCanConvert
// refuses.
bool D3DXWritePixels(D3DFORMAT format, const BYTE* pixels, UINT width, UINT height, BYTE* bits,
                     std::size_t pitch);

// The pixels resampled from sourceWidth x sourceHeight to width x height.
std::vector<BYTE> D3DXResamplePixels(const std::vector<BYTE>& pixels, UINT sourceWidth,
                                     UINT sourceHeight, UINT width, UINT height,
                                     D3DXResampleKind kind);
