#include "Platform/D3D9/SoftIndexBuffer9.h"

#include "Platform/D3D9/ComQuery.h"

SoftIndexBuffer9::SoftIndexBuffer9(SoftDevice9* device, UINT length, DWORD usage, D3DFORMAT format,
                                   D3DPOOL pool, bool blocksReset)
    : SoftDeviceChild(device, blocksReset, true),
      desc_{format, D3DRTYPE_INDEXBUFFER, usage, pool, length},
      memory_(length) {}

SoftIndexBuffer9* SoftIndexBuffer9::From(IDirect3DIndexBuffer9* buffer) {
    return dynamic_cast<SoftIndexBuffer9*>(buffer);
}

HRESULT SoftIndexBuffer9::QueryInterface(REFIID riid, void** out) {
    return AnswerQuery<IDirect3DIndexBuffer9>(
        this, riid, out, {IID_IUnknown, IID_IDirect3DResource9, IID_IDirect3DIndexBuffer9});
}

HRESULT SoftIndexBuffer9::Lock(UINT offset, UINT size, void** data, DWORD) {
    return memory_.Lock(offset, size, data);
}

HRESULT SoftIndexBuffer9::GetDesc(D3DINDEXBUFFER_DESC* desc) {
    if (!desc)
        return D3DERR_INVALIDCALL;
    *desc = desc_;
    return D3D_OK;
}
