// Creating effects and effect compilers from files. A file is either effect source (HLSL) or a
// compiled effect as CompileEffect writes it; D3DXCreateEffectFromFileA reads either. Compiler
// messages are handed back as text ("file(line,col): error X....: ..."), one a line.
#pragma once

#include "Platform/D3DX9/ID3DXBuffer.h"
#include "Platform/D3DX9/ID3DXEffect.h"
#include "Platform/D3DX9/ID3DXEffectCompiler.h"
#include "Platform/D3DX9/ID3DXInclude.h"

struct D3DXMACRO {
    LPCSTR Name;
    LPCSTR Definition;
};

class ID3DXEffectPool;
using LPD3DXEFFECTPOOL = ID3DXEffectPool*;

constexpr DWORD D3DXSHADER_USE_LEGACY_D3DX9_31_DLL = 0x10000;

// defines: a list ended by a null name, or null. include: null makes every #include fail. pool
// must be null (no pools here). errors, when given, receives the messages (null when none).
// D3DXERR_INVALIDDATA when the file does not compile or is a damaged compiled effect;
// D3DERR_INVALIDCALL for a null device, path or out pointer; E_FAIL when the file cannot be read.
HRESULT D3DXCreateEffectFromFileA(IDirect3DDevice9* device, LPCSTR srcFile,
                                  const D3DXMACRO* defines, LPD3DXINCLUDE include, DWORD flags,
                                  LPD3DXEFFECTPOOL pool, LPD3DXEFFECT* effect,
                                  LPD3DXBUFFER* errors);

// Compiles the source file; the compiler then hands out the compiled bytes. Fails as above.
HRESULT D3DXCreateEffectCompilerFromFileA(LPCSTR srcFile, const D3DXMACRO* defines,
                                          LPD3DXINCLUDE include, DWORD flags,
                                          LPD3DXEFFECTCOMPILER* compiler, LPD3DXBUFFER* errors);

// A buffer of size bytes, zero-filled, with one reference.
HRESULT D3DXCreateBuffer(DWORD size, LPD3DXBUFFER* buffer);
