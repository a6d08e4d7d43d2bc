#include "Render/d3d9/RenderStateCache.h"

#include "Core/LogDispatch.h"
#include "Render/d3d9/DeviceDiagnostics.h"

namespace Zel {
namespace {

constexpr std::uint32_t kRenderStatesSwitch = 77;

// The render states read back after creation and each reset: those the engine sets.
constexpr DWORD kReadBackStates[] = {
    7,   8,   9,   14,  15,  16,  19,  20,  22,  23,  24,  25,  26,  27,  28,  29,  34,  35,
    36,  37,  38,  48,  52,  53,  54,  55,  56,  57,  58,  59,  60,  128, 129, 130, 131, 132,
    133, 134, 135, 136, 137, 139, 140, 141, 142, 143, 145, 146, 147, 148, 151, 152, 154, 155,
    156, 157, 158, 159, 160, 161, 162, 163, 165, 166, 167, 168, 170, 171, 172, 173, 174, 175,
    176, 178, 179, 180, 181, 182, 183, 184, 185, 186, 187, 188, 189, 190, 191, 192, 193, 194,
    195, 198, 199, 200, 201, 202, 203, 204, 205, 206, 207, 208, 209};
static_assert(std::size(kReadBackStates) == 103);

constexpr DWORD kReadBackStageStates[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,
                                          10, 11, 22, 23, 24, 26, 27, 28, 32};

bool OutOfRange(const char* operation, DWORD index, DWORD limit) {
    if (index < limit)
        return false;
    LogError("RenderStateCache::%s: index %u out of range (0..%u)", operation, index, limit - 1);
    return true;
}

// A request that differs from the cached entry counts one in its frame word, is stored as sent
// and goes to the device; when the call fails it is reported and the entry takes its previous
// value back, so that the next identical request is tried again. requested and sent differ only
// where the cache sends something else than was asked for.
template <class T, class Call>
HRESULT Request(T& entry, T requested, T sent, FrameStatWord word, const char* name, Call call) {
    if (entry == requested)
        return 0;
    AddFrameStat(word);
    const T previous = entry;
    entry = sent;
    const HRESULT hr = call(sent);
    if (FAILED(hr)) {
        ReportDeviceError("D3D ERROR! ,%s(), hr = %d", name, hr);
        entry = previous;
    }
    return hr;
}

}  // namespace

HRESULT RenderStateCache::SetRenderState(DWORD state, DWORD value) {
    if (OutOfRange("SetRenderState", state, kRenderStates) || !device_)
        return D3DERR_INVALIDCALL;
    if (GetGlobalSwitch(kRenderStatesSwitch, 1) == 0 || locks_[state])
        return 0;
    return Request(renderStates_[state], value, value, FRAME_RENDER_STATE_SETS, "SetRenderState",
                   [&](DWORD sent) {
                       return device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(state), sent);
                   });
}

HRESULT RenderStateCache::SetSamplerState(DWORD sampler, DWORD state, DWORD value) {
    if (OutOfRange("SetSamplerState", sampler, kSamplers) ||
        OutOfRange("SetSamplerState", state, kSamplerStates) || !device_)
        return D3DERR_INVALIDCALL;
    const bool remap =
        (state == D3DSAMP_MAGFILTER || state == D3DSAMP_MIPFILTER) && value == D3DTEXF_ANISOTROPIC;
    return Request(
        samplerStates_[sampler][state], value, remap ? static_cast<DWORD>(D3DTEXF_LINEAR) : value,
        FRAME_SAMPLER_STATE_SETS, "SetSamplerState", [&](DWORD sent) {
            return device_->SetSamplerState(sampler, static_cast<D3DSAMPLERSTATETYPE>(state), sent);
        });
}

HRESULT RenderStateCache::SetTextureStageState(DWORD stage, DWORD state, DWORD value) {
    if (OutOfRange("SetTextureStageState", stage, kStages) ||
        OutOfRange("SetTextureStageState", state, kStageStates) || !device_)
        return D3DERR_INVALIDCALL;
    return Request(stageStates_[stage][state], value, value, FRAME_TEXTURE_STAGE_STATE_SETS,
                   "SetTextureStageState", [&](DWORD sent) {
                       return device_->SetTextureStageState(
                           stage, static_cast<D3DTEXTURESTAGESTATETYPE>(state), sent);
                   });
}

HRESULT RenderStateCache::SetTexture(DWORD sampler, IDirect3DBaseTexture9* texture) {
    if (OutOfRange("SetTexture", sampler, kSamplers) || !device_)
        return D3DERR_INVALIDCALL;
    return Request(textures_[sampler], texture, texture, FRAME_TEXTURE_SETS, "SetTexture",
                   [&](IDirect3DBaseTexture9* sent) { return device_->SetTexture(sampler, sent); });
}

HRESULT RenderStateCache::SetVertexShader(IDirect3DVertexShader9* shader) {
    if (!device_)
        return D3DERR_INVALIDCALL;
    return Request(vertexShader_, shader, shader, FRAME_VERTEX_SHADER_SETS, "SetVertexShader",
                   [&](IDirect3DVertexShader9* sent) { return device_->SetVertexShader(sent); });
}

HRESULT RenderStateCache::SetPixelShader(IDirect3DPixelShader9* shader) {
    if (!device_)
        return D3DERR_INVALIDCALL;
    return Request(pixelShader_, shader, shader, FRAME_PIXEL_SHADER_SETS, "SetPixelShader",
                   [&](IDirect3DPixelShader9* sent) { return device_->SetPixelShader(sent); });
}

HRESULT RenderStateCache::SetFVF(DWORD fvf) {
    if (!device_)
        return D3DERR_INVALIDCALL;
    return Request(fvf_, fvf, fvf, FRAME_FVF_SETS, "SetFVF",
                   [&](DWORD sent) { return device_->SetFVF(sent); });
}

HRESULT RenderStateCache::WriteRenderState(DWORD state, DWORD value) {
    if (OutOfRange("WriteRenderState", state, kRenderStates) || !device_)
        return D3DERR_INVALIDCALL;
    const HRESULT hr = device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(state), value);
    if (SUCCEEDED(hr))
        renderStates_[state] = value;
    return hr;
}

HRESULT RenderStateCache::UnbindTextureDirect(DWORD sampler) {
    if (OutOfRange("UnbindTextureDirect", sampler, kSamplers) || !device_)
        return D3DERR_INVALIDCALL;
    const HRESULT hr = device_->SetTexture(sampler, nullptr);
    if (SUCCEEDED(hr))
        textures_[sampler] = nullptr;
    return hr;
}

void RenderStateCache::Lock(DWORD state) {
    if (state < kRenderStates)
        locks_[state] = true;
}

void RenderStateCache::Unlock(DWORD state) {
    if (state < kRenderStates)
        locks_[state] = false;
}

void RenderStateCache::UnlockAll() {
    locks_.fill(false);
}

void RenderStateCache::Reset(IDirect3DDevice9* device) {
    device_ = device;
    UnlockAll();
    if (!device_)
        return;
    for (DWORD state : kReadBackStates)
        device_->GetRenderState(static_cast<D3DRENDERSTATETYPE>(state), &renderStates_[state]);
    // Every sampler and stage, not only those below the capability record's stage count: the
    // record is not yet filled when the device is first made.
    for (DWORD sampler = 0; sampler < kSamplers; ++sampler)
        for (DWORD state = 1; state < kSamplerStates; ++state)
            device_->GetSamplerState(sampler, static_cast<D3DSAMPLERSTATETYPE>(state),
                                     &samplerStates_[sampler][state]);
    for (DWORD stage = 0; stage < kStages; ++stage)
        for (DWORD state : kReadBackStageStates)
            device_->GetTextureStageState(stage, static_cast<D3DTEXTURESTAGESTATETYPE>(state),
                                          &stageStates_[stage][state]);
    for (DWORD sampler = 0; sampler < kSamplers; ++sampler) {
        IDirect3DBaseTexture9* texture = nullptr;
        device_->GetTexture(sampler, &texture);
        textures_[sampler] = texture;
        if (texture)
            texture->Release();
    }
    IDirect3DVertexShader9* vertexShader = nullptr;
    device_->GetVertexShader(&vertexShader);
    vertexShader_ = vertexShader;
    if (vertexShader)
        vertexShader->Release();
    IDirect3DPixelShader9* pixelShader = nullptr;
    device_->GetPixelShader(&pixelShader);
    pixelShader_ = pixelShader;
    if (pixelShader)
        pixelShader->Release();
    device_->GetFVF(&fvf_);
}

DWORD RenderStateCache::GetRenderState(DWORD state) const {
    return state < kRenderStates ? renderStates_[state] : 0;
}

bool RenderStateCache::IsLocked(DWORD state) const {
    return state < kRenderStates && locks_[state];
}

DWORD RenderStateCache::GetSamplerState(DWORD sampler, DWORD state) const {
    return sampler < kSamplers && state < kSamplerStates ? samplerStates_[sampler][state] : 0;
}

DWORD RenderStateCache::GetTextureStageState(DWORD stage, DWORD state) const {
    return stage < kStages && state < kStageStates ? stageStates_[stage][state] : 0;
}

IDirect3DBaseTexture9* RenderStateCache::GetTexture(DWORD sampler) const {
    return sampler < kSamplers ? textures_[sampler] : nullptr;
}

}  // namespace Zel
