// An index buffer of 16- or 32-bit indices.
#pragma once

#include "Platform/D3D9/IDirect3DResource9.h"

inline constexpr GUID IID_IDirect3DIndexBuffer9 = {
    0x7C9DD65E, 0xD3F7, 0x4529, {0xAC, 0xEE, 0x78, 0x58, 0x30, 0xAC, 0xDE, 0x35}};

class IDirect3DIndexBuffer9 : public IDirect3DResource9 {
public:
    // As IDirect3DVertexBuffer9::Lock.
    virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) = 0;

protected:
    ~IDirect3DIndexBuffer9() = default;
};
