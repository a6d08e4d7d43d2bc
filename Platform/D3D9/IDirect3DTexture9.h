// A 2D texture with a chain of levels.
#pragma once

#include "Platform/D3D9/IDirect3DBaseTexture9.h"
#include "Platform/D3D9/IDirect3DSurface9.h"

inline constexpr GUID IID_IDirect3DTexture9 = {
    0x85C31227, 0x3DE5, 0x4F00, {0x9B, 0x3A, 0xF1, 0x1A, 0xC3, 0x8C, 0x18, 0xB5}};

class IDirect3DTexture9 : public IDirect3DBaseTexture9 {
public:
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    // The level as a surface, with a reference added (references of a level count on the texture).
    virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) = 0;
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;

protected:
    ~IDirect3DTexture9() = default;
};
