// A swap chain: back buffers presented into a window.
#pragma once

#include "Platform/D3D9/D3D9Types.h"
#include "Platform/D3D9/IDirect3DSurface9.h"
#include "Platform/D3D9/IUnknown.h"

class IDirect3DDevice9;

inline constexpr GUID IID_IDirect3DSwapChain9 = {
    0x794950F2, 0xADFC, 0x458A, {0x90, 0x5E, 0x10, 0xA1, 0x0B, 0x0B, 0x50, 0x3B}};

class IDirect3DSwapChain9 : public IUnknown {
public:
    // Copies the back buffer (the source rectangle of it) into the window's frame buffer (the
    // destination rectangle of its client area), stretching with point sampling. The window is
    // the override when given, else the chain's device window. D3DERR_DEVICELOST while the device
    // is lost.
    virtual HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                            const RGNDATA* dirtyRegion, DWORD flags) = 0;
    virtual HRESULT GetBackBuffer(UINT backBuffer, D3DBACKBUFFER_TYPE type,
                                  IDirect3DSurface9** surface) = 0;
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual HRESULT GetPresentParameters(D3DPRESENT_PARAMETERS* parameters) = 0;

protected:
    ~IDirect3DSwapChain9() = default;
};
