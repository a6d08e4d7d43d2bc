// D3DX saving of a surface to an image file.
#pragma once

#include "Platform/D3DX9/D3DX9Texture.h"

// Writes the rectangle (all of the surface when null) of the surface to the file (through the
// path resolver; replaced when it exists), in one of five formats:
// - D3DXIFF_BMP: 24-bit BI_RGB, or 32-bit BI_RGB (B, G, R, A) when the surface format has alpha;
//   rows bottom-up.
// - D3DXIFF_TGA: uncompressed type 2, 24 or 32 bits likewise.
// - D3DXIFF_PNG: colour type 2, or 6 with alpha; 8 bits.
// - D3DXIFF_JPG: a baseline colour JPEG at quality 90 (alpha dropped).
// - D3DXIFF_DDS: the surface's own pixels when its format is DXT1-DXT5 (the rectangle on 4x4
//   block bounds), A8R8G8B8 or X8R8G8B8; any other format is converted to A8R8G8B8 (with alpha) or
//   X8R8G8B8 (without). One level, no mip count.
// Pixels of other formats are converted through the device's pixel codec; DXT surfaces are
// decoded. A DEFAULT-pool render target that cannot be locked is read through a SYSTEMMEM copy
// (GetRenderTargetData). The palette is ignored.
// Failures: a null path or surface, an empty or outside rectangle, another file format or a
// surface format that cannot be read (D3DERR_INVALIDCALL); the device's lock or copy failures
// (its result); a file that cannot be written (E_FAIL). Each failure writes a debug message.
HRESULT D3DXSaveSurfaceToFileA(LPCSTR destFile, D3DXIMAGE_FILEFORMAT destFormat,
                               LPDIRECT3DSURFACE9 srcSurface, const PALETTEENTRY* srcPalette,
                               const RECT* srcRect);
