// The Direct3D 9Ex object: makes Ex devices.
#pragma once

#include "Platform/D3D9/IDirect3D9.h"
#include "Platform/D3D9/IDirect3DDevice9Ex.h"

inline constexpr GUID IID_IDirect3D9Ex = {
    0x02177241, 0x69FC, 0x400C, {0x8F, 0xF1, 0x93, 0xA4, 0x4D, 0xF6, 0x86, 0x1D}};

class IDirect3D9Ex : public IDirect3D9 {
public:
    // As CreateDevice, making an Ex device; fullscreenDisplayMode must be null when windowed.
    virtual HRESULT CreateDeviceEx(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                                   DWORD behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                                   D3DDISPLAYMODEEX* fullscreenDisplayMode,
                                   IDirect3DDevice9Ex** device) = 0;

protected:
    ~IDirect3D9Ex() = default;
};
