// D3DX textures from image files. The files are decoded here (BMP, TGA, PNG, JPEG and DDS, told
// apart by their contents) and the texture is made on the caller's Direct3D 9 device and filled.
//
// Accepted files:
// - BMP: BI_RGB, one plane; 24 or 32 bits without a palette, or 4 or 8 bits with one (colours
//   used above 0); bottom-up or top-down. A palette index past the palette is opaque black.
// - TGA: zero origin; true colour (type 2, 24/32 bits, no colour map), colour-mapped (type 1,
//   8-bit indices into a 24-bit map) or grey (type 3, 8 bits), and the run-length forms of the
//   three (types 10, 9, 11); descriptor bit 5 gives the row order.
// - PNG: colour types 2 and 6 at 8 or 16 bits, palettes at 1, 2, 4 or 8 bits, grey at 1, 2, 4,
//   8 or 16 bits, grey with alpha at 8 or 16 bits; interlaced only at 8 or 16 bits. 16-bit
//   samples are reduced to 8 bits. Transparency (tRNS) is honoured for palettes only.
// - JPEG: one (grey) or three components.
// - DDS: "DXT1" to "DXT5" blocks, or 24/32-bit RGB with or without alpha, with the mip levels
//   the file holds.
// Sides run from 1 to 16384. Anything else is refused with a message on the debug output
// (D3DX9Log.h) and D3DXERR_INVALIDDATA.
//
// The source format reported in D3DXIMAGE_INFO::Format describes the file's pixels as decoded:
// the DXT format of block data; D3DFMT_A8R8G8B8 for four 8-bit channels (alpha included: 32-bit
// BMP, TGA and DDS with alpha, PNG of type 6, palettes with tRNS); D3DFMT_X8R8G8B8 for a 32-bit
// DDS without alpha; D3DFMT_R8G8B8 for three channels (24-bit files, palettes without tRNS, colour
// JPEG); D3DFMT_L8 for grey and D3DFMT_A8L8 for grey with alpha.
#pragma once

#include "Platform/D3D9/D3D9.h"
#include "Platform/D3DX9/D3DX9Errors.h"

// Size and level arguments.
inline constexpr UINT D3DX_DEFAULT = static_cast<UINT>(-1);
inline constexpr UINT D3DX_DEFAULT_NONPOW2 = static_cast<UINT>(-2);
inline constexpr UINT D3DX_FROM_FILE = static_cast<UINT>(-3);

// Filters (the low byte; the higher flag bits are accepted and ignored).
inline constexpr DWORD D3DX_FILTER_NONE = 1;
inline constexpr DWORD D3DX_FILTER_POINT = 2;
inline constexpr DWORD D3DX_FILTER_LINEAR = 3;
inline constexpr DWORD D3DX_FILTER_TRIANGLE = 4;
inline constexpr DWORD D3DX_FILTER_BOX = 5;
inline constexpr DWORD D3DX_FILTER_DITHER = 0x80000;

enum D3DXIMAGE_FILEFORMAT : DWORD {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
    D3DXIFF_PPM = 5,
    D3DXIFF_DIB = 6,
    D3DXIFF_HDR = 7,
    D3DXIFF_PFM = 8,
};

// What the file held: its size, its mip levels (1 unless a DDS has more), the source format
// (above) and the file format.
struct D3DXIMAGE_INFO {
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    D3DFORMAT Format;
    D3DRESOURCETYPE ResourceType;
    D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

// A palette entry of the Windows graphics interface; the loaders never write one (no palette
// textures are made).
struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

// Decodes the file held in memory (data, size bytes; not kept) and makes a texture of it.
// - width, height: 0, D3DX_DEFAULT, D3DX_DEFAULT_NONPOW2 or D3DX_FROM_FILE keep the file's size
//   (never rounded to a power of two); any other value resamples the image with filter.
// - mipLevels: 1 one level; 0 or D3DX_DEFAULT the full chain; D3DX_FROM_FILE the file's count;
//   n at most the full chain. Levels the file holds at the texture's size are taken from it, the
//   others are made from the level above with mipFilter.
// - format: D3DFMT_UNKNOWN (or D3DX_FROM_FILE) takes the file's DXT format for block data, else
//   D3DFMT_A8R8G8B8 when the file has alpha or a colour key is given, and D3DFMT_X8R8G8B8 when
//   not; another format must be
//   an uncompressed colour format of the device or a DXT format (encoded here when the file
//   does not hold those blocks at that size).
// - filter, mipFilter: D3DX_FILTER_NONE keeps pixels in place (outside the source: transparent
//   black), POINT takes the nearest pixel, LINEAR, TRIANGLE, BOX and D3DX_DEFAULT average the
//   covered area.
// - colorKey: when not 0, source pixels of exactly that A8R8G8B8 value become transparent black.
// - srcInfo (optional) receives the file's description; palette is not written.
// A DEFAULT-pool texture that is not dynamic is filled through a SYSTEMMEM copy and
// UpdateTexture. On success *texture holds one reference for the caller. Failures: a null device,
// data, texture pointer or zero size (D3DERR_INVALIDCALL); a file the decoders refuse
// (D3DXERR_INVALIDDATA); a format that cannot be made (D3DERR_INVALIDCALL); the device's own
// failures (its result). Every failure writes a debug message and leaves *texture null.
HRESULT D3DXCreateTextureFromFileInMemoryEx(LPDIRECT3DDEVICE9 device, LPCVOID data, UINT size,
                                            UINT width, UINT height, UINT mipLevels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                            DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                            LPDIRECT3DTEXTURE9* texture);

// The same from a file on disk (through the path resolver); a file that cannot be opened or read
// gives D3DERR_INVALIDCALL.
HRESULT D3DXCreateTextureFromFileExA(LPDIRECT3DDEVICE9 device, LPCSTR path, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                     D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                     LPDIRECT3DTEXTURE9* texture);
