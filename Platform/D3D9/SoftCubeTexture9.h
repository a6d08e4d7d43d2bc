// A cube texture of the software device.
#pragma once

#include "Platform/D3D9/IDirect3DCubeTexture9.h"
#include "Platform/D3D9/SoftBaseTexture9.h"

class SoftCubeTexture9 final : public IDirect3DCubeTexture9, public SoftBaseTexture9 {
public:
    SoftCubeTexture9(SoftDevice9* device, const Params& params, bool blocksReset)
        : SoftBaseTexture9(device, params, blocksReset) {}

    IDirect3DBaseTexture9* AsBaseTexture() override { return this; }

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return AddRefChild(); }
    ULONG Release() override { return ReleaseChild(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return GetDeviceFor(device); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_CUBETEXTURE; }
    DWORD GetLevelCount() override { return VisibleLevels(); }
    void GenerateMipSubLevels() override { GenerateMipChain(); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override {
        return LevelDesc(level, desc);
    }
    HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level,
                              IDirect3DSurface9** surface) override {
        return LevelSurface(face, level, surface);
    }
    HRESULT LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                     DWORD flags) override {
        return LockLevel(face, level, locked, rect, flags);
    }
    HRESULT UnlockRect(D3DCUBEMAP_FACES face, UINT level) override {
        return UnlockLevel(face, level);
    }

private:
    ~SoftCubeTexture9() override = default;
};
