// A block of bytes handed out by D3DX (compiled effects, compiler messages). The holder releases
// it; the bytes stay valid until then.
#pragma once

#include "Platform/D3D9/IUnknown.h"

inline constexpr GUID IID_ID3DXBuffer = {
    0x8BA5FB08, 0x5195, 0x40E2, {0xAC, 0x58, 0x0D, 0x98, 0x9C, 0x3A, 0x01, 0x02}};

class ID3DXBuffer : public IUnknown {
public:
    virtual LPVOID GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;

protected:
    ~ID3DXBuffer() = default;
};
using LPD3DXBUFFER = ID3DXBuffer*;
