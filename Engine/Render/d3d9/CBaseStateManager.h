// The effect state manager the device owns and hands to every effect. What the render-state cache
// knows (render, texture, stage and sampler states, the FVF, the shaders) goes through the cache,
// so effects and the rest of the engine share one view of the device; transforms, material,
// lights, the N-patch mode and shader constants go straight to the device and are counted per
// frame.
//
// Counters (running and previous frame, same layout): 0-5 unused (0); 6 transforms; 7 materials;
// 8 lights (SetLight and LightEnable); 9 vertex-shader constant uploads; 10 pixel-shader constant
// uploads; 11 the sum of 6-10.
//
// A COM object: made with one reference by the device, shared by the effects that AddRef it,
// deleted by the last Release. It must not outlive the device. Host thread; the reference count
// is atomic.
#pragma once

#include <atomic>

#include "Render/d3d9/CStateManagerInterface.h"

namespace Zel {

class RenderStateCache;

class CBaseStateManager final : public CStateManagerInterface {
public:
    enum Counter : std::uint32_t {
        COUNTER_TRANSFORMS = 6,
        COUNTER_MATERIALS = 7,
        COUNTER_LIGHTS = 8,
        COUNTER_VERTEX_CONSTANTS = 9,
        COUNTER_PIXEL_CONSTANTS = 10,
        COUNTER_TOTAL = 11,
    };

    // cache: the device's render-state cache; device: its Direct3D device, read now (neither
    // owned nor referenced).
    CBaseStateManager(RenderStateCache& cache, IDirect3DDevice9* device);
    CBaseStateManager(const CBaseStateManager&) = delete;
    CBaseStateManager& operator=(const CBaseStateManager&) = delete;

    // IUnknown: IID_IUnknown and IID_ID3DXEffectStateManager answer this object.
    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT SetMaterial(const D3DMATERIAL9* material) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT SetNPatchMode(float segments) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT SetVertexShader(IDirect3DVertexShader9* shader) override;
    HRESULT SetVertexShaderConstantF(UINT startRegister, const float* data,
                                     UINT vector4fCount) override;
    HRESULT SetVertexShaderConstantI(UINT startRegister, const int* data,
                                     UINT vector4iCount) override;
    HRESULT SetVertexShaderConstantB(UINT startRegister, const BOOL* data, UINT boolCount) override;
    HRESULT SetPixelShader(IDirect3DPixelShader9* shader) override;
    HRESULT SetPixelShaderConstantF(UINT startRegister, const float* data,
                                    UINT vector4fCount) override;
    HRESULT SetPixelShaderConstantI(UINT startRegister, const int* data,
                                    UINT vector4iCount) override;
    HRESULT SetPixelShaderConstantB(UINT startRegister, const BOOL* data, UINT boolCount) override;

    void EndFrame() override;
    const std::uint32_t* GetPreviousFrameCounters() const override { return previous_; }
    // The counters of the frame in progress.
    const std::uint32_t* GetRunningCounters() const { return running_; }

private:
    ~CBaseStateManager() override = default;

    void Count(Counter counter) {
        ++running_[counter];
        ++running_[COUNTER_TOTAL];
    }

    RenderStateCache& cache_;
    std::atomic<LONG> refs_{1};
    std::uint32_t previous_[kCounterCount] = {};
    std::uint32_t running_[kCounterCount] = {};
    IDirect3DDevice9* device_;
};

}  // namespace Zel
