#include "Platform/D3D9/D3D9Module.h"

#include <cstdio>
#include <cstring>

#include "Platform/D3D9/D3D9.h"
#include "Platform/D3D9/SoftAdapter.h"
#include "Platform/Win32/Win32Files.h"
#include "Platform/Win32/Win32System.h"

namespace {

template <class Function>
FARPROC Export(bool offered, Function function) {
    return offered ? reinterpret_cast<FARPROC>(function) : nullptr;
}

void WriteVideoRegistry() {
    std::string adapterKey = D3D9Module::AdapterKeyPath();
    HKEY video = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\VIDEO", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &video, nullptr) == ERROR_SUCCESS) {
        std::string value = "\\Registry\\Machine\\" + adapterKey;
        RegSetValueExA(video, "\\Device\\Video0", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
        RegCloseKey(video);
    }
    HKEY adapter = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, adapterKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &adapter, nullptr) == ERROR_SUCCESS)
        RegCloseKey(adapter);
}

}  // namespace

D3D9Module::Settings& D3D9Module::Current() {
    // An object, not a heap pointer: it goes with the library when a host unloads it.
    static Settings settings;
    return settings;
}

D3D9Module::PerfLog& D3D9Module::Perf() {
    static PerfLog log;
    return log;
}

void D3D9Module::ResetPerf() {
    Perf() = PerfLog();
}

std::string D3D9Module::AdapterKeyPath() {
    const GUID& g = SoftAdapter::Current().identifier.DeviceIdentifier;
    char text[128];
    std::snprintf(text, sizeof(text),
                  "SYSTEM\\CurrentControlSet\\Control\\Video\\{%08X-%04X-%04X-%02X%02X-%02X%02X%"
                  "02X%02X%02X%02X}\\0000",
                  g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                  g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

void D3D9Module::Install(const Settings& settings) {
    Current() = settings;
    RegisterModuleProc(kModuleName, "Direct3DCreate9", Export(settings.create9, &Direct3DCreate9));
    RegisterModuleProc(kModuleName, "Direct3DCreate9Ex",
                       Export(settings.create9Ex, &Direct3DCreate9Ex));
    RegisterModuleProc(kModuleName, "D3DPERF_BeginEvent",
                       Export(settings.perfBeginEvent, &D3DPERF_BeginEvent));
    RegisterModuleProc(kModuleName, "D3DPERF_EndEvent",
                       Export(settings.perfEndEvent, &D3DPERF_EndEvent));
    RegisterModuleProc(kModuleName, "D3DPERF_SetMarker",
                       Export(settings.perfSetMarker, &D3DPERF_SetMarker));
    if (settings.videoRegistry)
        WriteVideoRegistry();
}

void D3D9Module::Install() {
    Install(Settings());
}
