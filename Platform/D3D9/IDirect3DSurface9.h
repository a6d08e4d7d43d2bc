// A 2D block of pixels: a level of a texture, a back buffer, or a stand-alone render target,
// depth-stencil or off-screen surface.
#pragma once

#include "Platform/D3D9/IDirect3DResource9.h"

inline constexpr GUID IID_IDirect3DSurface9 = {
    0x0CFBAF3A, 0x9FF6, 0x429A, {0x99, 0xB3, 0xA2, 0x79, 0x6A, 0xF8, 0xB8, 0x9B}};

class IDirect3DSurface9 : public IDirect3DResource9 {
public:
    virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
    // Maps the pixels (the whole surface, or the rectangle; block-aligned for DXT formats) for CPU
    // access. Fails with D3DERR_INVALIDCALL for a surface the CPU may not lock (a DEFAULT-pool
    // surface that is neither dynamic nor a lockable render target, depth formats other than the
    // lockable ones), while locked or while a DC is held.
    virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect() = 0;
    // An opaque handle over a CPU bitmap of the surface (X8R8G8B8, A8R8G8B8, R5G6B5, X1R5G5B5);
    // the bitmap goes back into the surface at ReleaseDC. A second GetDC before ReleaseDC fails.
    virtual HRESULT GetDC(HDC* dc) = 0;
    virtual HRESULT ReleaseDC(HDC dc) = 0;

protected:
    ~IDirect3DSurface9() = default;
};
