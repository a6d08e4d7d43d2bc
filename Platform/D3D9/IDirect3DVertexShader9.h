// A vertex shader: an opaque object that the device binds and compares by identity.
#pragma once

#include "Platform/D3D9/D3D9Types.h"
#include "Platform/D3D9/IUnknown.h"

class IDirect3DDevice9;

inline constexpr GUID IID_IDirect3DVertexShader9 = {
    0xEFC5557E, 0x6265, 0x4613, {0x8A, 0x94, 0x43, 0x85, 0x78, 0x89, 0xEB, 0x36}};

class IDirect3DVertexShader9 : public IUnknown {
public:
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    // The token stream the shader was made from; with data null, only its size in bytes.
    virtual HRESULT GetFunction(void* data, UINT* sizeOfData) = 0;

protected:
    ~IDirect3DVertexShader9() = default;
};
