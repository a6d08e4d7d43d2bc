// A 2D texture of the software device.
#pragma once

#include "Platform/D3D9/IDirect3DTexture9.h"
#include "Platform/D3D9/SoftBaseTexture9.h"

class SoftTexture9 final : public IDirect3DTexture9, public SoftBaseTexture9 {
public:
    SoftTexture9(SoftDevice9* device, const Params& params, bool blocksReset)
        : SoftBaseTexture9(device, params, blocksReset) {}

    IDirect3DBaseTexture9* AsBaseTexture() override { return this; }

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return AddRefChild(); }
    ULONG Release() override { return ReleaseChild(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return GetDeviceFor(device); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return VisibleLevels(); }
    void GenerateMipSubLevels() override { GenerateMipChain(); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override {
        return LevelDesc(level, desc);
    }
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override {
        return LevelSurface(0, level, surface);
    }
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override {
        return LockLevel(0, level, locked, rect, flags);
    }
    HRESULT UnlockRect(UINT level) override { return UnlockLevel(0, level); }

private:
    ~SoftTexture9() override = default;
};
