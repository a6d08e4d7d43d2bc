#include "Platform/D3D9/SoftCubeTexture9.h"

#include "Platform/D3D9/ComQuery.h"

HRESULT SoftCubeTexture9::QueryInterface(REFIID riid, void** out) {
    return AnswerQuery<IDirect3DCubeTexture9>(
        this, riid, out,
        {IID_IUnknown, IID_IDirect3DResource9, IID_IDirect3DBaseTexture9,
         IID_IDirect3DCubeTexture9});
}
