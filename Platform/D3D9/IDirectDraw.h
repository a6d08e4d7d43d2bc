// The first DirectDraw interface, as DirectDrawCreate hands it out.
#pragma once

#include "Platform/D3D9/DDrawTypes.h"
#include "Platform/D3D9/IUnknown.h"

inline constexpr GUID IID_IDirectDraw = {
    0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

class IDirectDraw : public IUnknown {
public:
    // DDSCL_NORMAL for a window; DDERR_INVALIDPARAMS for a handle that is no window.
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    // Fills the driver capabilities (video memory total and free) and/or the emulation ones.
    virtual HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* helCaps) = 0;

protected:
    ~IDirectDraw() = default;
};
