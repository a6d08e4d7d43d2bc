#include "Platform/D3D9/DDraw.h"

#include "Platform/D3D9/SoftDirectDraw.h"

namespace {

int& ComInitCount() {
    static int count = 0;
    return count;
}

}  // namespace

HRESULT DirectDrawCreate(GUID* driver, IDirectDraw** directDraw, IUnknown* outer) {
    if (!directDraw)
        return DDERR_INVALIDPARAMS;
    *directDraw = nullptr;
    if (driver || outer)
        return DDERR_INVALIDPARAMS;
    if (SoftDirectDraw::Current().createFails)
        return DDERR_NODIRECTDRAWHW;
    *directDraw = new SoftDirectDraw(true);
    return DD_OK;
}

HRESULT CoInitialize(void*) {
    return ComInitCount()++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (ComInitCount() > 0)
        --ComInitCount();
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD, REFIID riid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (ComInitCount() == 0)
        return CO_E_NOTINITIALIZED;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    if (!(clsid == CLSID_DirectDraw) || SoftDirectDraw::Current().coCreateFails)
        return REGDB_E_CLASSNOTREG;
    auto* object = new SoftDirectDraw(false);
    HRESULT hr = object->QueryInterface(riid, out);
    static_cast<IDirectDraw*>(object)->Release();
    return hr;
}
