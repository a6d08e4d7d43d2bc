// The DirectDraw and COM entry points the engine uses to measure video memory, over the software
// DirectDraw object (SoftDirectDraw, whose settings give the figures and the failures).
#pragma once

#include "Platform/D3D9/DDrawTypes.h"
#include "Platform/D3D9/IDirectDraw.h"
#include "Platform/D3D9/IDirectDraw2.h"
#include "Platform/D3D9/IDirectDraw7.h"

// A DirectDraw object for the primary driver (driver null), ready to use. outer must be null.
HRESULT DirectDrawCreate(GUID* driver, IDirectDraw** directDraw, IUnknown* outer);

// COM for the calling process: CoInitialize answers S_OK the first time and S_FALSE while already
// initialised; each call needs a CoUninitialize.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();
// Only CLSID_DirectDraw is registered: it makes an uninitialised DirectDraw object and answers the
// interface asked for. CO_E_NOTINITIALIZED before CoInitialize.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** out);
