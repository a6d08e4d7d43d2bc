// The software DirectDraw object: one object answering IDirectDraw, IDirectDraw2 and IDirectDraw7
// with the video memory figures of its settings. The two roads the engine takes to it fail
// separately: CoCreateInstance → Initialize → GetAvailableVidMem, and DirectDrawCreate →
// SetCooperativeLevel → GetCaps.
#pragma once

#include "Platform/D3D9/IDirectDraw.h"
#include "Platform/D3D9/IDirectDraw2.h"
#include "Platform/D3D9/IDirectDraw7.h"

class SoftDirectDraw final : public IDirectDraw, public IDirectDraw2, public IDirectDraw7 {
public:
    struct Settings {
        // GetAvailableVidMem figures, in bytes, for each kind of memory it is asked about.
        DWORD videoTotal = 256u << 20;
        DWORD videoFree = 240u << 20;
        DWORD localTotal = 256u << 20;
        DWORD localFree = 240u << 20;
        DWORD nonLocalTotal = 512u << 20;
        DWORD nonLocalFree = 500u << 20;
        // GetCaps figures, in bytes.
        DWORD capsVidMemTotal = 256u << 20;
        DWORD capsVidMemFree = 240u << 20;
        // The COM road: CoCreateInstance answers REGDB_E_CLASSNOTREG; Initialize answers
        // DDERR_NODIRECTDRAWHW; QueryInterface for IDirectDraw7 answers E_NOINTERFACE;
        // GetAvailableVidMem answers DDERR_GENERIC.
        bool coCreateFails = false;
        bool initializeFails = false;
        bool directDraw7Fails = false;
        bool availableVidMemFails = false;
        // The DirectDrawCreate road: DirectDrawCreate answers DDERR_NODIRECTDRAWHW;
        // SetCooperativeLevel answers DDERR_GENERIC; GetCaps answers DDERR_GENERIC.
        bool createFails = false;
        bool cooperativeLevelFails = false;
        bool capsFails = false;
    };

    static Settings& Current();
    static void Restore();

    // initialized: made by DirectDrawCreate (ready) rather than by CoCreateInstance.
    explicit SoftDirectDraw(bool initialized) : initialized_(initialized) {}
    SoftDirectDraw(const SoftDirectDraw&) = delete;
    SoftDirectDraw& operator=(const SoftDirectDraw&) = delete;

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;

    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* helCaps) override;
    HRESULT Initialize(GUID* driver) override;
    HRESULT GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free) override;

private:
    ~SoftDirectDraw() = default;

    ULONG refs_ = 1;
    bool initialized_;
};
