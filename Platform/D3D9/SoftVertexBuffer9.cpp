#include "Platform/D3D9/SoftVertexBuffer9.h"

#include "Platform/D3D9/ComQuery.h"

SoftVertexBuffer9::SoftVertexBuffer9(SoftDevice9* device, UINT length, DWORD usage, DWORD fvf,
                                     D3DPOOL pool, bool blocksReset)
    : SoftDeviceChild(device, blocksReset, true),
      desc_{D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length, fvf},
      memory_(length) {}

SoftVertexBuffer9* SoftVertexBuffer9::From(IDirect3DVertexBuffer9* buffer) {
    return dynamic_cast<SoftVertexBuffer9*>(buffer);
}

HRESULT SoftVertexBuffer9::QueryInterface(REFIID riid, void** out) {
    return AnswerQuery<IDirect3DVertexBuffer9>(
        this, riid, out, {IID_IUnknown, IID_IDirect3DResource9, IID_IDirect3DVertexBuffer9});
}

HRESULT SoftVertexBuffer9::Lock(UINT offset, UINT size, void** data, DWORD) {
    return memory_.Lock(offset, size, data);
}

HRESULT SoftVertexBuffer9::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
    if (!desc)
        return D3DERR_INVALIDCALL;
    *desc = desc_;
    return D3D_OK;
}
