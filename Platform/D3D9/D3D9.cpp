#include "Platform/D3D9/D3D9.h"

#include "Platform/D3D9/D3D9Module.h"
#include "Platform/D3D9/SoftDirect3D9.h"

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION || D3D9Module::Current().create9Fails)
        return nullptr;
    return new SoftDirect3D9(false);
}

HRESULT Direct3DCreate9Ex(UINT sdkVersion, IDirect3D9Ex** out) {
    if (!out)
        return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (sdkVersion != D3D_SDK_VERSION || D3D9Module::Current().create9ExFails)
        return D3DERR_NOTAVAILABLE;
    *out = new SoftDirect3D9(true);
    return S_OK;
}

int D3DPERF_BeginEvent(D3DCOLOR color, const wchar_t* name) {
    D3D9Module::PerfLog& log = D3D9Module::Perf();
    ++log.beginEvents;
    log.lastColor = color;
    log.lastName = name ? name : L"";
    return log.depth++;
}

int D3DPERF_EndEvent() {
    D3D9Module::PerfLog& log = D3D9Module::Perf();
    ++log.endEvents;
    if (log.depth == 0)
        return -1;
    return --log.depth;
}

void D3DPERF_SetMarker(D3DCOLOR color, const wchar_t* name) {
    D3D9Module::PerfLog& log = D3D9Module::Perf();
    ++log.markers;
    log.lastColor = color;
    log.lastName = name ? name : L"";
}
