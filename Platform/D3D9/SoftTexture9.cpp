#include "Platform/D3D9/SoftTexture9.h"

#include "Platform/D3D9/ComQuery.h"

HRESULT SoftTexture9::QueryInterface(REFIID riid, void** out) {
    return AnswerQuery<IDirect3DTexture9>(
        this, riid, out,
        {IID_IUnknown, IID_IDirect3DResource9, IID_IDirect3DBaseTexture9, IID_IDirect3DTexture9});
}
