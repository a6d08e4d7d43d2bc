// A pixel shader: an opaque object that the device binds and compares by identity.
#pragma once

#include "Platform/D3D9/D3D9Types.h"
#include "Platform/D3D9/IUnknown.h"

class IDirect3DDevice9;

inline constexpr GUID IID_IDirect3DPixelShader9 = {
    0x6D3BDBDC, 0x5B02, 0x4415, {0xB8, 0x52, 0xCE, 0x5E, 0x8B, 0xCC, 0xB2, 0x89}};

class IDirect3DPixelShader9 : public IUnknown {
public:
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    // The token stream the shader was made from; with data null, only its size in bytes.
    virtual HRESULT GetFunction(void* data, UINT* sizeOfData) = 0;

protected:
    ~IDirect3DPixelShader9() = default;
};
