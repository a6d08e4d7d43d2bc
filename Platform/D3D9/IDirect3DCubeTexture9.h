// A cube texture: six square faces, each with a chain of levels.
#pragma once

#include "Platform/D3D9/IDirect3DBaseTexture9.h"
#include "Platform/D3D9/IDirect3DSurface9.h"

inline constexpr GUID IID_IDirect3DCubeTexture9 = {
    0xFFF32F81, 0xD953, 0x473A, {0x92, 0x23, 0x93, 0xD6, 0x52, 0xAB, 0xA9, 0x3F}};

class IDirect3DCubeTexture9 : public IDirect3DBaseTexture9 {
public:
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    virtual HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level,
                                      IDirect3DSurface9** surface) = 0;
    virtual HRESULT LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* locked,
                             const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(D3DCUBEMAP_FACES face, UINT level) = 0;

protected:
    ~IDirect3DCubeTexture9() = default;
};
