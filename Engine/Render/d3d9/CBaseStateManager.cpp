#include "Render/d3d9/CBaseStateManager.h"

#include <algorithm>

#include "Render/d3d9/RenderStateCache.h"

namespace Zel {

CBaseStateManager::CBaseStateManager(RenderStateCache& cache, IDirect3DDevice9* device)
    : cache_(cache), device_(device) {}

HRESULT CBaseStateManager::QueryInterface(REFIID riid, void** out) {
    if (!out)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ID3DXEffectStateManager) {
        AddRef();
        *out = static_cast<ID3DXEffectStateManager*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG CBaseStateManager::AddRef() {
    return static_cast<ULONG>(refs_.fetch_add(1) + 1);
}

ULONG CBaseStateManager::Release() {
    const LONG left = refs_.fetch_sub(1) - 1;
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT CBaseStateManager::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    Count(COUNTER_TRANSFORMS);
    return device_->SetTransform(state, matrix);
}

HRESULT CBaseStateManager::SetMaterial(const D3DMATERIAL9* material) {
    Count(COUNTER_MATERIALS);
    return device_->SetMaterial(material);
}

HRESULT CBaseStateManager::SetLight(DWORD index, const D3DLIGHT9* light) {
    Count(COUNTER_LIGHTS);
    return device_->SetLight(index, light);
}

HRESULT CBaseStateManager::LightEnable(DWORD index, BOOL enable) {
    Count(COUNTER_LIGHTS);
    return device_->LightEnable(index, enable);
}

HRESULT CBaseStateManager::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    return cache_.SetRenderState(state, value);
}

HRESULT CBaseStateManager::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    return cache_.SetTexture(stage, texture);
}

HRESULT CBaseStateManager::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                                DWORD value) {
    return cache_.SetTextureStageState(stage, type, value);
}

HRESULT CBaseStateManager::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    return cache_.SetSamplerState(sampler, type, value);
}

HRESULT CBaseStateManager::SetNPatchMode(float segments) {
    return device_->SetNPatchMode(segments);
}

HRESULT CBaseStateManager::SetFVF(DWORD fvf) {
    return cache_.SetFVF(fvf);
}

HRESULT CBaseStateManager::SetVertexShader(IDirect3DVertexShader9* shader) {
    return cache_.SetVertexShader(shader);
}

HRESULT CBaseStateManager::SetVertexShaderConstantF(UINT startRegister, const float* data,
                                                    UINT vector4fCount) {
    Count(COUNTER_VERTEX_CONSTANTS);
    return device_->SetVertexShaderConstantF(startRegister, data, vector4fCount);
}

HRESULT CBaseStateManager::SetVertexShaderConstantI(UINT startRegister, const int* data,
                                                    UINT vector4iCount) {
    Count(COUNTER_VERTEX_CONSTANTS);
    return device_->SetVertexShaderConstantI(startRegister, data, vector4iCount);
}

HRESULT CBaseStateManager::SetVertexShaderConstantB(UINT startRegister, const BOOL* data,
                                                    UINT boolCount) {
    Count(COUNTER_VERTEX_CONSTANTS);
    return device_->SetVertexShaderConstantB(startRegister, data, boolCount);
}

HRESULT CBaseStateManager::SetPixelShader(IDirect3DPixelShader9* shader) {
    return cache_.SetPixelShader(shader);
}

HRESULT CBaseStateManager::SetPixelShaderConstantF(UINT startRegister, const float* data,
                                                   UINT vector4fCount) {
    Count(COUNTER_PIXEL_CONSTANTS);
    return device_->SetPixelShaderConstantF(startRegister, data, vector4fCount);
}

HRESULT CBaseStateManager::SetPixelShaderConstantI(UINT startRegister, const int* data,
                                                   UINT vector4iCount) {
    Count(COUNTER_PIXEL_CONSTANTS);
    return device_->SetPixelShaderConstantI(startRegister, data, vector4iCount);
}

HRESULT CBaseStateManager::SetPixelShaderConstantB(UINT startRegister, const BOOL* data,
                                                   UINT boolCount) {
    Count(COUNTER_PIXEL_CONSTANTS);
    return device_->SetPixelShaderConstantB(startRegister, data, boolCount);
}

void CBaseStateManager::EndFrame() {
    std::copy(std::begin(running_), std::end(running_), previous_);
    std::fill(std::begin(running_), std::end(running_), 0u);
}

}  // namespace Zel
