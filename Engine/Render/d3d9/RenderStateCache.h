// The one road by which render states, sampler and texture-stage states, textures, shaders and the
// FVF reach the Direct3D 9 device. A request equal to the value last sent is dropped; each request
// that reaches the device counts one in its frame counter; a render state can be locked against
// change; global switch 77 at 0 keeps every render state (not the other kinds) off the device.
// After device creation and each reset the cache reads the device's own values back, so the two
// agree.
//
// Setters answer the device call's HRESULT, 0 when the request was dropped, and
// D3DERR_INVALIDCALL for an index outside the tables (logged) or while no device is bound. A
// failed device call is reported ("D3D ERROR! ,SetRenderState(), hr = %d" and so on) and the entry
// keeps its previous value, so the next identical request is tried again.
//
// The cache holds no reference on the device, textures or shaders it points to. Host thread only.
#pragma once

#include <array>
#include <cstdint>

#include "Platform/D3D9/IDirect3DDevice9.h"

namespace Zel {

class RenderStateCache {
public:
    static constexpr DWORD kRenderStates = 210;
    static constexpr DWORD kSamplers = 16;
    static constexpr DWORD kSamplerStates = 14;
    static constexpr DWORD kStages = 16;
    static constexpr DWORD kStageStates = 33;

    RenderStateCache() = default;
    RenderStateCache(const RenderStateCache&) = delete;
    RenderStateCache& operator=(const RenderStateCache&) = delete;

    HRESULT SetRenderState(DWORD state, DWORD value);
    // Magnification and mip filters (states 5 and 7) asked for ANISOTROPIC are sent as LINEAR; the
    // request is compared as asked, so such a request reaches the device every time.
    HRESULT SetSamplerState(DWORD sampler, DWORD state, DWORD value);
    HRESULT SetTextureStageState(DWORD stage, DWORD state, DWORD value);
    HRESULT SetTexture(DWORD sampler, IDirect3DBaseTexture9* texture);
    HRESULT SetVertexShader(IDirect3DVertexShader9* shader);
    HRESULT SetPixelShader(IDirect3DPixelShader9* shader);
    HRESULT SetFVF(DWORD fvf);

    // Writes a render state straight to the device, past the comparison, the locks, switch 77 and
    // the counters, and records what the device then holds.
    HRESULT WriteRenderState(DWORD state, DWORD value);
    // Unbinds the sampler's texture straight on the device (uncounted) and records that.
    HRESULT UnbindTextureDirect(DWORD sampler);

    // A locked render state ignores every request until unlocked. Out-of-range states are ignored.
    void Lock(DWORD state);
    void Unlock(DWORD state);
    void UnlockAll();

    // Binds the device (null unbinds) and reads back from it: the 103 render states the engine
    // uses, states 1-13 of all 16 samplers, the 18 used stage states of all 16 stages, all 16
    // textures, both shaders and the FVF; every lock is released. Nothing is counted or reported.
    void Reset(IDirect3DDevice9* device);

    IDirect3DDevice9* GetDevice() const { return device_; }
    // The cached values; 0 (null) for indices outside the tables.
    DWORD GetRenderState(DWORD state) const;
    bool IsLocked(DWORD state) const;
    DWORD GetSamplerState(DWORD sampler, DWORD state) const;
    DWORD GetTextureStageState(DWORD stage, DWORD state) const;
    IDirect3DBaseTexture9* GetTexture(DWORD sampler) const;
    IDirect3DVertexShader9* GetVertexShader() const { return vertexShader_; }
    IDirect3DPixelShader9* GetPixelShader() const { return pixelShader_; }
    DWORD GetFVF() const { return fvf_; }

private:
    std::array<DWORD, kRenderStates> renderStates_{};
    std::array<bool, kRenderStates> locks_{};
    std::array<std::array<DWORD, kSamplerStates>, kSamplers> samplerStates_{};
    std::array<std::array<DWORD, kStageStates>, kStages> stageStates_{};
    std::array<IDirect3DBaseTexture9*, kSamplers> textures_{};
    IDirect3DVertexShader9* vertexShader_ = nullptr;
    IDirect3DPixelShader9* pixelShader_ = nullptr;
    DWORD fvf_ = 0;
    IDirect3DDevice9* device_ = nullptr;
};

}  // namespace Zel
