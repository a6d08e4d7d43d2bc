// DirectDraw and COM values the engine uses to measure video memory: result codes, capability
// bits, the capability records, class and interface ids. Declared for this layer with DirectDraw's
// names and numbers; only what the engine calls.
#pragma once

#include "Platform/Win32/Win32Types.h"

constexpr HRESULT MAKE_DDHRESULT(DWORD code) {
    return static_cast<HRESULT>(0x88760000u | code);
}

constexpr HRESULT DD_OK = S_OK;
constexpr HRESULT DDERR_GENERIC = E_FAIL;
constexpr HRESULT DDERR_INVALIDPARAMS = E_INVALIDARG;
constexpr HRESULT DDERR_ALREADYINITIALIZED = MAKE_DDHRESULT(5);
constexpr HRESULT DDERR_INVALIDOBJECT = MAKE_DDHRESULT(130);
constexpr HRESULT DDERR_NODIRECTDRAWHW = MAKE_DDHRESULT(565);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
constexpr HRESULT DDERR_NOTINITIALIZED = CO_E_NOTINITIALIZED;
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_ALL = 23;

constexpr DWORD DDSCL_FULLSCREEN = 0x1;
constexpr DWORD DDSCL_NORMAL = 0x8;
constexpr DWORD DDSCL_EXCLUSIVE = 0x10;

constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x4000;
constexpr DWORD DDSCAPS_LOCALVIDMEM = 0x10000000;
constexpr DWORD DDSCAPS_NONLOCALVIDMEM = 0x20000000;

struct DDSCAPS2 {
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCaps3;
    DWORD dwCaps4;
};

// The driver capability fields the engine reads; dwSize must be sizeof(DDCAPS).
struct DDCAPS {
    DWORD dwSize;
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwVidMemTotal;
    DWORD dwVidMemFree;
};

using REFCLSID = const GUID&;

inline constexpr GUID CLSID_DirectDraw = {
    0xD7B70EE0, 0x4340, 0x11CF, {0xB0, 0x63, 0x00, 0x20, 0xAF, 0xC2, 0xCD, 0x35}};
