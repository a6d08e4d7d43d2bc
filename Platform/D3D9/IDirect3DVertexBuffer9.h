// A vertex buffer.
#pragma once

#include "Platform/D3D9/IDirect3DResource9.h"

inline constexpr GUID IID_IDirect3DVertexBuffer9 = {
    0xB64BB1B5, 0xFD70, 0x4DF6, {0xBF, 0x91, 0x19, 0xD0, 0xA1, 0x24, 0x55, 0xE3}};

class IDirect3DVertexBuffer9 : public IDirect3DResource9 {
public:
    // Maps size bytes from offset (size 0: to the end). D3DERR_INVALIDCALL when the range leaves
    // the buffer. Locks nest; each needs an Unlock. DISCARD and NOOVERWRITE act only on dynamic
    // buffers; elsewhere the lock is a normal one.
    virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) = 0;

protected:
    ~IDirect3DVertexBuffer9() = default;
};
