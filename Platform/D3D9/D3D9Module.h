// "d3d9.dll" as the engine finds it: the exports it looks up by name in the Win32 module table,
// the settings that make creation fail, the record of profiler markers, and the registry keys a
// video driver leaves behind. Process-wide; tests change the settings and call Install again.
#pragma once

#include <string>

#include "Platform/D3D9/D3D9Types.h"

class D3D9Module {
public:
    static constexpr const char* kModuleName = "d3d9.dll";

    struct Settings {
        // Which exports the module offers ("Direct3DCreate9", "Direct3DCreate9Ex",
        // "D3DPERF_BeginEvent", "D3DPERF_EndEvent", "D3DPERF_SetMarker").
        bool create9 = true;
        bool create9Ex = true;
        bool perfBeginEvent = true;
        bool perfEndEvent = true;
        bool perfSetMarker = true;
        // Direct3DCreate9 answers null; Direct3DCreate9Ex answers D3DERR_NOTAVAILABLE.
        bool create9Fails = false;
        bool create9ExFails = false;
        // Whether Install writes the video driver's registry keys (below).
        bool videoRegistry = true;
    };

    // What the profiler markers received.
    struct PerfLog {
        ULONG beginEvents = 0;
        ULONG endEvents = 0;
        ULONG markers = 0;
        int depth = 0;
        D3DCOLOR lastColor = 0;
        std::wstring lastName;
    };

    // Stores the settings and registers the exports under kModuleName (an absent export is
    // registered as null, so GetProcAddress answers null for it). With videoRegistry, writes
    // HKEY_LOCAL_MACHINE "HARDWARE\DEVICEMAP\VIDEO" value "\Device\Video0" naming the adapter's
    // key under "SYSTEM\CurrentControlSet\Control\Video\", and creates that key.
    static void Install(const Settings& settings);
    // Install with the default settings (every export present, nothing failing).
    static void Install();
    // The settings the entry points follow.
    static Settings& Current();
    static PerfLog& Perf();
    static void ResetPerf();
    // The adapter's key path under HKEY_LOCAL_MACHINE
    // ("SYSTEM\CurrentControlSet\Control\Video\{...}\0000").
    static std::string AdapterKeyPath();
};
