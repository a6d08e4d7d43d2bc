// The DirectDraw 7 interface, for its video memory figures.
#pragma once

#include "Platform/D3D9/DDrawTypes.h"
#include "Platform/D3D9/IUnknown.h"

inline constexpr GUID IID_IDirectDraw7 = {
    0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};

class IDirectDraw7 : public IUnknown {
public:
    // Total and free bytes of the memory the caps name: DDSCAPS_VIDEOMEMORY, DDSCAPS_LOCALVIDMEM or
    // DDSCAPS_NONLOCALVIDMEM.
    virtual HRESULT GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free) = 0;

protected:
    ~IDirectDraw7() = default;
};
