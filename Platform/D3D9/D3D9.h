// The Direct3D 9 layer: a software device standing in for "d3d9.dll". The entry points below are
// also published in the Win32 module table under "d3d9.dll" by D3D9Module::Install, where the
// engine looks them up by name.
#pragma once

#include "Platform/D3D9/D3D9Types.h"
#include "Platform/D3D9/IDirect3D9.h"
#include "Platform/D3D9/IDirect3D9Ex.h"
#include "Platform/D3D9/IDirect3DDevice9.h"
#include "Platform/D3D9/IDirect3DDevice9Ex.h"

// A new Direct3D object (one reference), or null when the SDK version is not D3D_SDK_VERSION or
// the module settings make creation fail.
IDirect3D9* Direct3DCreate9(UINT sdkVersion);
// S_OK and a new Ex object, or D3DERR_NOTAVAILABLE (and null) when the SDK version is wrong or the
// module settings make creation fail.
HRESULT Direct3DCreate9Ex(UINT sdkVersion, IDirect3D9Ex** out);

// Profiler markers. They do nothing but count and record (D3D9Module::PerfLog); BeginEvent
// answers the nesting level it opens, EndEvent the level it closes (-1 when none was open).
int D3DPERF_BeginEvent(D3DCOLOR color, const wchar_t* name);
int D3DPERF_EndEvent();
void D3DPERF_SetMarker(D3DCOLOR color, const wchar_t* name);

using LPDIRECT3D9 = IDirect3D9*;
using LPDIRECT3D9EX = IDirect3D9Ex*;
using LPDIRECT3DDEVICE9 = IDirect3DDevice9*;
using LPDIRECT3DDEVICE9EX = IDirect3DDevice9Ex*;
using LPDIRECT3DBASETEXTURE9 = IDirect3DBaseTexture9*;
using LPDIRECT3DTEXTURE9 = IDirect3DTexture9*;
using LPDIRECT3DCUBETEXTURE9 = IDirect3DCubeTexture9*;
using LPDIRECT3DSURFACE9 = IDirect3DSurface9*;
using LPDIRECT3DVERTEXBUFFER9 = IDirect3DVertexBuffer9*;
using LPDIRECT3DINDEXBUFFER9 = IDirect3DIndexBuffer9*;
using LPDIRECT3DVERTEXDECLARATION9 = IDirect3DVertexDeclaration9*;
using LPDIRECT3DVERTEXSHADER9 = IDirect3DVertexShader9*;
using LPDIRECT3DPIXELSHADER9 = IDirect3DPixelShader9*;
using LPDIRECT3DSWAPCHAIN9 = IDirect3DSwapChain9*;
using LPDIRECT3DQUERY9 = IDirect3DQuery9*;

// The function types of the exports, as the engine calls them through GetProcAddress.
using PFN_Direct3DCreate9 = IDirect3D9* (*)(UINT);
using PFN_Direct3DCreate9Ex = HRESULT (*)(UINT, IDirect3D9Ex**);
using PFN_D3DPERF_BeginEvent = int (*)(D3DCOLOR, const wchar_t*);
using PFN_D3DPERF_EndEvent = int (*)();
using PFN_D3DPERF_SetMarker = void (*)(D3DCOLOR, const wchar_t*);
