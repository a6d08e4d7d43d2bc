// The translation from the system's codes (Render/RenderCodes.h, Entity/PixelFormat.h) to
// Direct3D 9 values. Every function is total: a code outside its list falls to the stated default.
// Stateless; any thread.
#pragma once

#include <cstdint>

#include "Platform/D3D9/D3D9Types.h"

namespace Zel {

struct ViewportRect;

// Pixel-format code 0-18 to its D3DFORMAT (the DXT codes to their FourCC); D3DFMT_UNKNOWN above 18.
D3DFORMAT D3DFormatFromPixelFormat(std::uint32_t format);

// BufferUsage to D3DUSAGE: dynamic gives DYNAMIC (0x200), write-only WRITEONLY (0x8).
DWORD D3DUsageFromBufferUsage(std::uint32_t usage);
// MemoryPool to D3DPOOL; the managed pool becomes DEFAULT on an Ex device; unknown codes DEFAULT.
D3DPOOL D3DPoolFromMemoryPool(std::uint32_t pool, bool exDevice);
// IndexSize to the index format; anything but 1 gives INDEX16.
D3DFORMAT D3DIndexFormatFromIndexSize(std::uint32_t indexSize);
// LockOption to texture lock flags: 0 and 4 none, 1 DISCARD, 2 READONLY, 3 NOOVERWRITE, other
// values DISCARD.
DWORD D3DTextureLockFlags(std::uint32_t option);
// LockOption to buffer lock flags given the buffer's usage: DISCARD and NOOVERWRITE only on a
// dynamic buffer, READONLY only on a buffer that is not write-only; anything else none.
DWORD D3DBufferLockFlags(std::uint32_t option, std::uint32_t usage);

// PrimitiveType to D3DPRIMITIVETYPE; unknown codes give a triangle list.
D3DPRIMITIVETYPE D3DPrimitiveFromPrimitiveType(std::uint32_t primitive);
// VertexElementType to D3DDECLTYPE; unknown codes give FLOAT3.
D3DDECLTYPE D3DDeclTypeFromElementType(std::uint32_t type);
// Bytes the device reads for an element of the type (the size of its D3DDECLTYPE).
std::uint32_t VertexElementTypeSize(std::uint32_t type);
// A single VertexFormat bit to its declaration usage (unknown: POSITION) and usage index: 1-7 for
// texture coordinates 1-7, 1 for the second colours (VF_COLOUR2, VF_SPECULAR), else 0.
D3DDECLUSAGE D3DDeclUsageFromVertexFormat(std::uint32_t flag);
BYTE D3DUsageIndexFromVertexFormat(std::uint32_t flag);

// Fixed render-state codes; unknown codes give cull NONE, compare ALWAYS, blend ZERO, blend-op
// ADD and fog NONE.
D3DCULL D3DCullFromCode(std::uint32_t cull);
D3DCMPFUNC D3DCompareFromCode(std::uint32_t compare);
D3DBLEND D3DBlendFromCode(std::uint32_t blend);
D3DBLENDOP D3DBlendOpFromCode(std::uint32_t blendOp);
D3DFOGMODE D3DFogModeFromCode(std::uint32_t fog);

// Texture sampling: AddressCode (unknown: MIRROR); FilterCode with the magnification switch (which
// turns ANISOTROPIC into LINEAR).
D3DTEXTUREADDRESS D3DAddressFromCode(std::uint32_t address);
D3DTEXTUREFILTERTYPE D3DFilterFromCode(std::uint32_t filter, bool magnification);

// Sample count 2, 4, 8, 16, 32 to multisample types 2, 4, 6, 8, 10; anything else none.
D3DMULTISAMPLE_TYPE D3DMultisampleFromCount(std::uint32_t count);

// r, g, b, a (each clamped to 0..1, times 255, truncated) packed as A8R8G8B8.
D3DCOLOR D3DColorFromColour(const float* rgba);

// The viewport of a rectangle whose y counts from the bottom edge of a width × height target: x and
// y are clamped to the target, width and height to what remains of it, Y = H - y - Height, depth
// 0..1.
D3DVIEWPORT9 D3DViewportFromRect(const ViewportRect& rect, std::uint32_t targetWidth,
                                 std::uint32_t targetHeight);

// 16 floats: out = transpose of in (the system's layout to Direct3D's and back).
void ToD3DMatrix(const float* in, D3DMATRIX* out);
void FromD3DMatrix(const D3DMATRIX& in, float* out);

}  // namespace Zel
