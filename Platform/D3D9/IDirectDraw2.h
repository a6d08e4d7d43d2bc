// The DirectDraw interface CoCreateInstance hands out; it must be initialised before use.
#pragma once

#include "Platform/D3D9/DDrawTypes.h"
#include "Platform/D3D9/IUnknown.h"

inline constexpr GUID IID_IDirectDraw2 = {
    0xB3A6F3E0, 0x2B43, 0x11CF, {0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};

class IDirectDraw2 : public IUnknown {
public:
    // Binds the object to a display driver (null: the primary one). DDERR_ALREADYINITIALIZED the
    // second time.
    virtual HRESULT Initialize(GUID* driver) = 0;

protected:
    ~IDirectDraw2() = default;
};
