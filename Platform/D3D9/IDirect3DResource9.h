// The base of every device resource (surfaces, textures, buffers).
#pragma once

#include "Platform/D3D9/D3D9Types.h"
#include "Platform/D3D9/IUnknown.h"

class IDirect3DDevice9;

inline constexpr GUID IID_IDirect3DResource9 = {
    0x05EEC05D, 0x8F7D, 0x4362, {0xB9, 0x99, 0xD1, 0xBA, 0xF3, 0x57, 0xC7, 0x04}};

class IDirect3DResource9 : public IUnknown {
public:
    // The device that made the resource, with a reference added; D3DERR_INVALIDCALL once the
    // device is gone.
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual D3DRESOURCETYPE GetType() = 0;

protected:
    ~IDirect3DResource9() = default;
};
