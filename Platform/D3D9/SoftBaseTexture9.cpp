#include "Platform/D3D9/SoftBaseTexture9.h"

#include <algorithm>

#include "Platform/D3D9/D3D9Format.h"

UINT SoftBaseTexture9::FullChainLevels(UINT width, UINT height) {
    UINT size = std::max(width, height), levels = 1;
    while (size > 1) {
        size >>= 1;
        ++levels;
    }
    return levels;
}

ULONGLONG SoftBaseTexture9::TotalBytes(const Params& p) {
    ULONGLONG total = 0;
    for (UINT level = 0; level < p.levels; ++level)
        total += D3D9Format::SurfaceBytes(p.format, std::max(1u, p.width >> level),
                                          std::max(1u, p.height >> level));
    return total * (p.type == D3DRTYPE_CUBETEXTURE ? 6 : 1);
}

SoftBaseTexture9* SoftBaseTexture9::From(IDirect3DBaseTexture9* texture) {
    return dynamic_cast<SoftBaseTexture9*>(texture);
}

SoftBaseTexture9::SoftBaseTexture9(SoftDevice9* device, const Params& params, bool blocksReset)
    : SoftDeviceChild(device, blocksReset, true), params_(params) {
    bool lockable = params.pool != D3DPOOL_DEFAULT || (params.usage & D3DUSAGE_DYNAMIC);
    for (UINT face = 0; face < Faces(); ++face) {
        for (UINT level = 0; level < params.levels; ++level) {
            SoftSurface9::Params s{params.format,
                                   std::max(1u, params.width >> level),
                                   std::max(1u, params.height >> level),
                                   params.usage,
                                   params.pool,
                                   D3DMULTISAMPLE_NONE,
                                   0,
                                   lockable};
            levels_.push_back(std::make_unique<SoftSurface9>(device, s, this, false, false));
        }
    }
}

SoftBaseTexture9::~SoftBaseTexture9() = default;

SoftSurface9* SoftBaseTexture9::Level(UINT face, UINT level) const {
    if (face >= Faces() || level >= params_.levels)
        return nullptr;
    return levels_[static_cast<std::size_t>(face) * params_.levels + level].get();
}

void SoftBaseTexture9::GenerateMipChain() {
    if (!params_.autoGenerate || !PixelCodec::Supports(params_.format))
        return;
    for (UINT face = 0; face < Faces(); ++face)
        for (UINT level = 1; level < params_.levels; ++level)
            SoftSurface9::BoxDownsample(*Level(face, level - 1), *Level(face, level));
    chainStale_ = false;
}

void SoftBaseTexture9::EnsureMipChain() {
    if (chainStale_)
        GenerateMipChain();
}

void SoftBaseTexture9::OnPartWritten(const SoftSurface9* part) {
    if (!params_.autoGenerate)
        return;
    for (UINT face = 0; face < Faces(); ++face)
        if (Level(face, 0) == part)
            chainStale_ = true;
}

HRESULT SoftBaseTexture9::LevelDesc(UINT level, D3DSURFACE_DESC* desc) const {
    if (!desc || level >= VisibleLevels())
        return D3DERR_INVALIDCALL;
    *desc = Level(0, level)->Desc();
    return D3D_OK;
}

HRESULT SoftBaseTexture9::LevelSurface(UINT face, UINT level, IDirect3DSurface9** surface) const {
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (face >= Faces() || level >= VisibleLevels())
        return D3DERR_INVALIDCALL;
    *surface = Level(face, level);
    (*surface)->AddRef();
    return D3D_OK;
}

HRESULT SoftBaseTexture9::LockLevel(UINT face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                                    DWORD flags) {
    if (face >= Faces() || level >= VisibleLevels())
        return D3DERR_INVALIDCALL;
    return Level(face, level)->LockRect(locked, rect, flags);
}

HRESULT SoftBaseTexture9::UnlockLevel(UINT face, UINT level) {
    if (face >= Faces() || level >= VisibleLevels())
        return D3DERR_INVALIDCALL;
    return Level(face, level)->UnlockRect();
}
