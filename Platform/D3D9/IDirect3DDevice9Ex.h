// The Direct3D 9Ex device: presentation with flags, the device-state check and ResetEx. An Ex
// device refuses the MANAGED pool and keeps DEFAULT-pool resources across a reset.
#pragma once

#include "Platform/D3D9/IDirect3DDevice9.h"

inline constexpr GUID IID_IDirect3DDevice9Ex = {
    0xB18B10CE, 0x2649, 0x405A, {0x87, 0x0F, 0x95, 0xF7, 0x77, 0xD4, 0x31, 0x3A}};

class IDirect3DDevice9Ex : public IDirect3DDevice9 {
public:
    virtual HRESULT PresentEx(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                              const RGNDATA* dirtyRegion, DWORD flags) = 0;
    // D3D_OK, a loss code (D3DERR_DEVICELOST, D3DERR_DEVICEREMOVED, D3DERR_DEVICEHUNG, ...) or a
    // status (S_PRESENT_OCCLUDED, S_PRESENT_MODE_CHANGED) for the window.
    virtual HRESULT CheckDeviceState(HWND window) = 0;
    // fullscreenDisplayMode must be null for a windowed device.
    virtual HRESULT ResetEx(D3DPRESENT_PARAMETERS* parameters,
                            D3DDISPLAYMODEEX* fullscreenDisplayMode) = 0;

protected:
    ~IDirect3DDevice9Ex() = default;
};
