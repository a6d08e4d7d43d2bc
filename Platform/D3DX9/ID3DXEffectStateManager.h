// The interface through which an effect hands every device change of its passes to the
// application instead of setting it on the device itself: transforms, material, lights, render,
// texture, stage and sampler states, the N-patch mode, the FVF, the shaders and their constants.
// The application implements it; each call answers the HRESULT of what it did.
#pragma once

#include "Platform/D3D9/D3D9Types.h"
#include "Platform/D3D9/IDirect3DBaseTexture9.h"
#include "Platform/D3D9/IDirect3DPixelShader9.h"
#include "Platform/D3D9/IDirect3DVertexShader9.h"
#include "Platform/D3D9/IUnknown.h"

inline constexpr GUID IID_ID3DXEffectStateManager = {
    0x79AAB587, 0x6DBC, 0x4FA7, {0x82, 0xDE, 0x37, 0xFA, 0x17, 0x81, 0xC5, 0xCE}};

class ID3DXEffectStateManager : public IUnknown {
public:
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT SetMaterial(const D3DMATERIAL9* material) = 0;
    virtual HRESULT SetLight(DWORD index, const D3DLIGHT9* light) = 0;
    virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                         DWORD value) = 0;
    virtual HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) = 0;
    virtual HRESULT SetNPatchMode(float segments) = 0;
    virtual HRESULT SetFVF(DWORD fvf) = 0;
    virtual HRESULT SetVertexShader(IDirect3DVertexShader9* shader) = 0;
    virtual HRESULT SetVertexShaderConstantF(UINT startRegister, const float* data,
                                             UINT vector4fCount) = 0;
    virtual HRESULT SetVertexShaderConstantI(UINT startRegister, const int* data,
                                             UINT vector4iCount) = 0;
    virtual HRESULT SetVertexShaderConstantB(UINT startRegister, const BOOL* data,
                                             UINT boolCount) = 0;
    virtual HRESULT SetPixelShader(IDirect3DPixelShader9* shader) = 0;
    virtual HRESULT SetPixelShaderConstantF(UINT startRegister, const float* data,
                                            UINT vector4fCount) = 0;
    virtual HRESULT SetPixelShaderConstantI(UINT startRegister, const int* data,
                                            UINT vector4iCount) = 0;
    virtual HRESULT SetPixelShaderConstantB(UINT startRegister, const BOOL* data,
                                            UINT boolCount) = 0;

protected:
    ~ID3DXEffectStateManager() = default;
};
