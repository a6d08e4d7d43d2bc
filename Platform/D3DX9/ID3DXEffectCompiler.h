// An effect compiled from source but not bound to a device: CompileEffect hands out the compiled
// effect as bytes that D3DXCreateEffectFromFileA and friends read back.
#pragma once

#include "Platform/D3DX9/ID3DXBuffer.h"

inline constexpr GUID IID_ID3DXEffectCompiler = {
    0x51B8A949, 0x1A31, 0x47E6, {0xBE, 0xA0, 0x4B, 0x30, 0xDB, 0x53, 0xF1, 0xE0}};

class ID3DXEffectCompiler : public IUnknown {
public:
    // The compiled effect (a buffer the caller releases) and no messages; fails with E_POINTER
    // when effect is null.
    virtual HRESULT CompileEffect(DWORD flags, LPD3DXBUFFER* effect, LPD3DXBUFFER* errorMsgs) = 0;

protected:
    ~ID3DXEffectCompiler() = default;
};
using LPD3DXEFFECTCOMPILER = ID3DXEffectCompiler*;
