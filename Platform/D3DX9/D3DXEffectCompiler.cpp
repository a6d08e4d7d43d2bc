#include "Platform/D3DX9/D3DXEffectCompiler.h"

#include "Platform/D3D9/ComQuery.h"
#include "Platform/D3D9/D3D9Types.h"
#include "Platform/D3DX9/D3DXBuffer.h"
#include "Platform/D3DX9/Hlsl/EffectSerializer.h"

HRESULT D3DXEffectCompiler::QueryInterface(REFIID riid, void** out) {
    return AnswerQuery<ID3DXEffectCompiler>(this, riid, out,
                                            {IID_IUnknown, IID_ID3DXEffectCompiler});
}

ULONG D3DXEffectCompiler::Release() {
    ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT D3DXEffectCompiler::CompileEffect(DWORD, LPD3DXBUFFER* effect, LPD3DXBUFFER* errorMsgs) {
    if (errorMsgs != nullptr)
        *errorMsgs = nullptr;
    if (effect == nullptr)
        return E_POINTER;
    *effect = new D3DXBuffer(Hlsl::EffectSerializer::Save(*effect_, sourceHash_, includes_));
    return D3D_OK;
}
