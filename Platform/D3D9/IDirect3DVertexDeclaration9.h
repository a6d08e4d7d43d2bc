// A vertex declaration: the elements a draw reads from its streams.
#pragma once

#include "Platform/D3D9/D3D9Types.h"
#include "Platform/D3D9/IUnknown.h"

class IDirect3DDevice9;

inline constexpr GUID IID_IDirect3DVertexDeclaration9 = {
    0xDD13C59C, 0x36FA, 0x4098, {0xA8, 0xFB, 0xC7, 0xED, 0x39, 0xDC, 0x85, 0x46}};

class IDirect3DVertexDeclaration9 : public IUnknown {
public:
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    // Writes the elements including the end marker into elements (when given) and their count into
    // *count.
    virtual HRESULT GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count) = 0;

protected:
    ~IDirect3DVertexDeclaration9() = default;
};
