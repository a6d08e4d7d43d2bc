// A compiled effect bound to a device: its parameters (named by handles), techniques and passes.
//
// Handles are opaque pointers that stay valid for the effect's life; 0 (null) names nothing, and
// every call given a null or foreign handle fails with D3DERR_INVALIDCALL. Parameter values are
// kept by the effect and reach the device when a pass begins (BeginPass) or when CommitChanges is
// called inside a pass. Every device change a pass makes (render, stage and sampler states,
// textures, transforms) goes through the state manager when one is set, else to the device; the
// pass's vertex and pixel programs are bound on the device from BeginPass to EndPass.
// Host thread only.
#pragma once

#include "Platform/D3D9/IDirect3DBaseTexture9.h"
#include "Platform/D3D9/IDirect3DDevice9.h"
#include "Platform/D3DX9/ID3DXEffectStateManager.h"

using D3DXHANDLE = const char*;

struct D3DXTECHNIQUE_DESC {
    LPCSTR Name;
    UINT Passes;
    UINT Annotations;
};

// Begin flags.
constexpr DWORD D3DXFX_DONOTSAVESTATE = 1;
constexpr DWORD D3DXFX_DONOTSAVESHADERSTATE = 2;
constexpr DWORD D3DXFX_DONOTSAVESAMPLERSTATE = 4;

inline constexpr GUID IID_ID3DXEffect = {
    0xF6CEB4B3, 0x4E4C, 0x40DD, {0xB8, 0x83, 0x8D, 0x8D, 0xE5, 0xEA, 0x0C, 0xD5}};

class ID3DXEffect : public IUnknown {
public:
    // A top-level parameter (parent null) or a member of a struct parameter; null when missing.
    virtual D3DXHANDLE GetParameterByName(D3DXHANDLE parent, LPCSTR name) = 0;
    // Element index of an array parameter; null when it is not an array or index is past its end.
    virtual D3DXHANDLE GetParameterElement(D3DXHANDLE parameter, UINT index) = 0;
    virtual D3DXHANDLE GetTechnique(UINT index) = 0;
    virtual D3DXHANDLE GetTechniqueByName(LPCSTR name) = 0;
    virtual HRESULT GetTechniqueDesc(D3DXHANDLE technique, D3DXTECHNIQUE_DESC* desc) = 0;
    virtual HRESULT SetTechnique(D3DXHANDLE technique) = 0;
    virtual D3DXHANDLE GetCurrentTechnique() = 0;

    // Writes the current technique's pass count; flags are the D3DXFX_ values (this effect saves
    // no state whatever they say).
    virtual HRESULT Begin(UINT* passes, DWORD flags) = 0;
    virtual HRESULT BeginPass(UINT pass) = 0;
    virtual HRESULT CommitChanges() = 0;
    virtual HRESULT EndPass() = 0;
    virtual HRESULT End() = 0;

    // The matrix as given (parameter [r][c] = m[r][c]) or transposed, over the parameter's rows
    // and columns.
    virtual HRESULT SetMatrix(D3DXHANDLE parameter, const D3DMATRIX* matrix) = 0;
    virtual HRESULT SetMatrixTranspose(D3DXHANDLE parameter, const D3DMATRIX* matrix) = 0;
    // count matrices into the elements of an array parameter (or one matrix into a non-array).
    virtual HRESULT SetMatrixTransposeArray(D3DXHANDLE parameter, const D3DMATRIX* matrices,
                                            UINT count) = 0;
    // Raw 32-bit words of the parameter's value, at most its size.
    virtual HRESULT SetValue(D3DXHANDLE parameter, LPCVOID data, UINT bytes) = 0;
    virtual HRESULT SetFloat(D3DXHANDLE parameter, float value) = 0;
    virtual HRESULT SetInt(D3DXHANDLE parameter, INT value) = 0;
    // The effect holds one reference of the texture while it is set; null clears the parameter.
    virtual HRESULT SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) = 0;

    // The manager receives every device change of later passes (one reference held; null goes back
    // to the device).
    virtual HRESULT SetStateManager(ID3DXEffectStateManager* manager) = 0;
    // Before the device is reset: a pass or technique in progress is ended, and the references
    // held on textures of the DEFAULT pool (which die with the device and would keep a plain
    // device from resetting) are dropped, leaving those parameters cleared. Parameter values,
    // the technique, handles and the state manager are kept.
    virtual HRESULT OnLostDevice() = 0;
    // After the reset: the effect is ready as it was left; textures of the DEFAULT pool are set
    // again by the caller.
    virtual HRESULT OnResetDevice() = 0;

protected:
    ~ID3DXEffect() = default;
};
using LPD3DXEFFECT = ID3DXEffect*;
