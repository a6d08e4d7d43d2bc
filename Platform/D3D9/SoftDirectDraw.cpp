#include "Platform/D3D9/SoftDirectDraw.h"

#include "Platform/D3D9/ComQuery.h"
#include "Platform/Win32/Win32Window.h"

SoftDirectDraw::Settings& SoftDirectDraw::Current() {
    // An object, not a heap pointer: it goes with the library when a host unloads it.
    static Settings settings;
    return settings;
}

void SoftDirectDraw::Restore() {
    Current() = Settings();
}

HRESULT SoftDirectDraw::QueryInterface(REFIID riid, void** out) {
    if (riid == IID_IDirectDraw7) {
        if (Current().directDraw7Fails) {
            if (out)
                *out = nullptr;
            return out ? E_NOINTERFACE : E_POINTER;
        }
        return AnswerQuery<IDirectDraw7>(this, riid, out, {IID_IDirectDraw7});
    }
    if (riid == IID_IDirectDraw2)
        return AnswerQuery<IDirectDraw2>(this, riid, out, {IID_IDirectDraw2});
    return AnswerQuery<IDirectDraw>(this, riid, out, {IID_IUnknown, IID_IDirectDraw});
}

ULONG SoftDirectDraw::Release() {
    if (refs_ == 0)
        return 0;
    ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT SoftDirectDraw::Initialize(GUID* driver) {
    if (driver)
        return DDERR_INVALIDPARAMS;
    if (initialized_)
        return DDERR_ALREADYINITIALIZED;
    if (Current().initializeFails)
        return DDERR_NODIRECTDRAWHW;
    initialized_ = true;
    return DD_OK;
}

HRESULT SoftDirectDraw::SetCooperativeLevel(HWND window, DWORD flags) {
    if (!initialized_)
        return DDERR_NOTINITIALIZED;
    if ((flags & DDSCL_NORMAL) && !IsWindow(window))
        return DDERR_INVALIDPARAMS;
    return Current().cooperativeLevelFails ? DDERR_GENERIC : DD_OK;
}

HRESULT SoftDirectDraw::GetCaps(DDCAPS* driverCaps, DDCAPS* helCaps) {
    if (!initialized_)
        return DDERR_NOTINITIALIZED;
    if ((!driverCaps && !helCaps) || (driverCaps && driverCaps->dwSize != sizeof(DDCAPS)) ||
        (helCaps && helCaps->dwSize != sizeof(DDCAPS)))
        return DDERR_INVALIDPARAMS;
    const Settings& s = Current();
    if (s.capsFails)
        return DDERR_GENERIC;
    if (driverCaps)
        *driverCaps = DDCAPS{sizeof(DDCAPS), 0, 0, s.capsVidMemTotal, s.capsVidMemFree};
    if (helCaps)
        *helCaps = DDCAPS{sizeof(DDCAPS), 0, 0, 0, 0};  // emulation has no video memory
    return DD_OK;
}

HRESULT SoftDirectDraw::GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free) {
    if (!initialized_)
        return DDERR_NOTINITIALIZED;
    if (!caps || (!total && !free))
        return DDERR_INVALIDPARAMS;
    const Settings& s = Current();
    if (s.availableVidMemFails)
        return DDERR_GENERIC;
    DWORD t, f;
    if (caps->dwCaps & DDSCAPS_NONLOCALVIDMEM) {
        t = s.nonLocalTotal;
        f = s.nonLocalFree;
    } else if (caps->dwCaps & DDSCAPS_LOCALVIDMEM) {
        t = s.localTotal;
        f = s.localFree;
    } else if (caps->dwCaps & DDSCAPS_VIDEOMEMORY) {
        t = s.videoTotal;
        f = s.videoFree;
    } else {
        return DDERR_INVALIDPARAMS;
    }
    if (total)
        *total = t;
    if (free)
        *free = f;
    return DD_OK;
}
