// The decoding half of the D3DX texture loaders: the bytes of an image file to the pixels (or DXT
// blocks) of its levels. The accepted files and the reported source formats are listed in
// D3DX9Texture.h. Every size, offset and count is checked against the bytes given in 64-bit
// arithmetic before anything is allocated or read. Pure functions, any thread.
#pragma once

#include <cstddef>
#include <vector>

#include "Platform/D3DX9/D3DX9Texture.h"

// The largest width or height accepted.
inline constexpr UINT kD3DXMaxImageSide = 16384;

struct D3DXImageFile {
    D3DXIMAGE_FILEFORMAT fileFormat = D3DXIFF_BMP;
    // What D3DXIMAGE_INFO::Format reports.
    D3DFORMAT sourceFormat = D3DFMT_UNKNOWN;
    // D3DFMT_DXT1 to D3DFMT_DXT5 when the levels hold blocks; else D3DFMT_UNKNOWN and the levels
    // hold pixels.
    D3DFORMAT blockFormat = D3DFMT_UNKNOWN;
    // Whether the pixels carry alpha (four channels, or grey with alpha).
    bool alpha = false;
    UINT width = 0;
    UINT height = 0;
    // Level 0 first; level i is max(1, width >> i) x max(1, height >> i). Pixels are B, G, R, A
    // bytes (the A8R8G8B8 memory order), rows top first without padding; blocks are rows of 4x4
    // blocks in file order. Only complete levels are kept.
    std::vector<std::vector<BYTE>> levels;
};

// Tells the format from the contents ("DDS ", "BM", the PNG signature, the JPEG start marker,
// else TGA) and decodes. Answers null on success, else why the file was refused (a static text);
// out is then left empty.
const char* D3DXReadImageFile(const BYTE* data, std::size_t size, D3DXImageFile* out);

// The readers D3DXReadImageFile chooses between, each for its own format only.
const char* D3DXReadBmpFile(const BYTE* data, std::size_t size, D3DXImageFile* out);
const char* D3DXReadTgaFile(const BYTE* data, std::size_t size, D3DXImageFile* out);
const char* D3DXReadDdsFile(const BYTE* data, std::size_t size, D3DXImageFile* out);
const char* D3DXReadPngFile(const BYTE* data, std::size_t size, D3DXImageFile* out);
const char* D3DXReadJpegFile(const BYTE* data, std::size_t size, D3DXImageFile* out);
