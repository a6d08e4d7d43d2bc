// The two roads to the video memory figures: COM (CoCreateInstance, Initialize, IDirectDraw7's
// GetAvailableVidMem with three caps) and DirectDrawCreate (normal cooperative level, driver caps),
// each with its own failure settings.
#include "Platform/D3D9/DDraw.h"
#include "tests/Platform/D3D9Fixture.h"

namespace {

using DirectDrawRoads = D3D9Fixture;

// The COM road as the device walks it; answers the local video memory (total or free), or 0.
DWORD LocalVideoMemory(bool free, HRESULT* failedAt = nullptr) {
    auto fail = [&](HRESULT hr) {
        if (failedAt)
            *failedAt = hr;
        return DWORD{0};
    };
    CoInitialize(nullptr);
    IDirectDraw2* dd2 = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_ALL, IID_IDirectDraw2,
                                  reinterpret_cast<void**>(&dd2));
    if (FAILED(hr)) {
        CoUninitialize();
        return fail(hr);
    }
    hr = dd2->Initialize(nullptr);
    IDirectDraw7* dd7 = nullptr;
    HRESULT query = dd2->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&dd7));
    dd2->Release();
    CoUninitialize();
    if (FAILED(hr)) {
        if (dd7)
            dd7->Release();
        return fail(hr);
    }
    if (FAILED(query))
        return fail(query);
    DWORD figures[3][2] = {};
    const DWORD caps[3] = {DDSCAPS_VIDEOMEMORY, DDSCAPS_LOCALVIDMEM, DDSCAPS_NONLOCALVIDMEM};
    for (int i = 0; i < 3; ++i) {
        DDSCAPS2 c{caps[i], 0, 0, 0};
        hr = dd7->GetAvailableVidMem(&c, &figures[i][0], &figures[i][1]);
        if (FAILED(hr)) {
            dd7->Release();
            return fail(hr);
        }
    }
    dd7->Release();
    return free ? figures[1][1] : figures[1][0];
}

// The DirectDrawCreate road; answers the total (kind 0) or free (kind 1) driver video memory, or 0.
DWORD DriverVideoMemory(HWND window, int kind, HRESULT* failedAt = nullptr) {
    IDirectDraw* dd = nullptr;
    HRESULT hr = DirectDrawCreate(nullptr, &dd, nullptr);
    if (SUCCEEDED(hr))
        hr = dd->SetCooperativeLevel(window, DDSCL_NORMAL);
    DDCAPS caps{};
    caps.dwSize = sizeof(caps);
    if (SUCCEEDED(hr))
        hr = dd->GetCaps(&caps, nullptr);
    if (dd)
        dd->Release();
    if (FAILED(hr)) {
        if (failedAt)
            *failedAt = hr;
        return 0;
    }
    return kind == 0 ? caps.dwVidMemTotal : caps.dwVidMemFree;
}

TEST_F(DirectDrawRoads, ComRoadReportsTheConfiguredLocalMemory) {
    SoftDirectDraw::Settings& s = SoftDirectDraw::Current();
    s.localTotal = 64u << 20;
    s.localFree = 60u << 20;
    s.videoTotal = 1;
    s.nonLocalTotal = 2;
    EXPECT_EQ(LocalVideoMemory(false), 64u << 20);
    EXPECT_EQ(LocalVideoMemory(true), 60u << 20);

    struct Case {
        const char* what;
        bool SoftDirectDraw::Settings::*knob;
        HRESULT expected;
    };
    const Case cases[] = {
        {"CoCreateInstance", &SoftDirectDraw::Settings::coCreateFails, REGDB_E_CLASSNOTREG},
        {"Initialize", &SoftDirectDraw::Settings::initializeFails, DDERR_NODIRECTDRAWHW},
        {"IDirectDraw7", &SoftDirectDraw::Settings::directDraw7Fails, E_NOINTERFACE},
        {"GetAvailableVidMem", &SoftDirectDraw::Settings::availableVidMemFails, DDERR_GENERIC},
    };
    for (const Case& c : cases) {
        SoftDirectDraw::Restore();
        SoftDirectDraw::Current().*c.knob = true;
        HRESULT failedAt = S_OK;
        EXPECT_EQ(LocalVideoMemory(false, &failedAt), 0u) << c.what;
        EXPECT_EQ(failedAt, c.expected) << c.what;
        // The other road is not affected.
        EXPECT_EQ(DriverVideoMemory(window_, 0), 256u << 20) << c.what;
    }
}

TEST_F(DirectDrawRoads, DirectDrawCreateRoadReportsTheConfiguredDriverCaps) {
    SoftDirectDraw::Current().capsVidMemTotal = 128u << 20;
    SoftDirectDraw::Current().capsVidMemFree = 100u << 20;
    EXPECT_EQ(DriverVideoMemory(window_, 0), 128u << 20);
    EXPECT_EQ(DriverVideoMemory(window_, 1), 100u << 20);
    HRESULT failedAt = S_OK;
    EXPECT_EQ(DriverVideoMemory(nullptr, 0, &failedAt), 0u);  // no window to be cooperative with
    EXPECT_EQ(failedAt, DDERR_INVALIDPARAMS);

    struct Case {
        const char* what;
        bool SoftDirectDraw::Settings::*knob;
        HRESULT expected;
    };
    const Case cases[] = {
        {"DirectDrawCreate", &SoftDirectDraw::Settings::createFails, DDERR_NODIRECTDRAWHW},
        {"SetCooperativeLevel", &SoftDirectDraw::Settings::cooperativeLevelFails, DDERR_GENERIC},
        {"GetCaps", &SoftDirectDraw::Settings::capsFails, DDERR_GENERIC},
    };
    for (const Case& c : cases) {
        SoftDirectDraw::Restore();
        SoftDirectDraw::Current().*c.knob = true;
        failedAt = S_OK;
        EXPECT_EQ(DriverVideoMemory(window_, 0, &failedAt), 0u) << c.what;
        EXPECT_EQ(failedAt, c.expected) << c.what;
        EXPECT_EQ(LocalVideoMemory(false), 256u << 20) << c.what;
    }
}

TEST_F(DirectDrawRoads, ComNeedsInitialisingAndKnowsOnlyDirectDraw) {
    IDirectDraw2* dd2 = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_ALL, IID_IDirectDraw2,
                               reinterpret_cast<void**>(&dd2)),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(CoCreateInstance(IID_IDirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw2,
                               reinterpret_cast<void**>(&dd2)),
              REGDB_E_CLASSNOTREG);
    ASSERT_EQ(CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_ALL, IID_IDirectDraw2,
                               reinterpret_cast<void**>(&dd2)),
              S_OK);
    // Uninitialised until Initialize.
    IDirectDraw7* dd7 = nullptr;
    ASSERT_EQ(dd2->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&dd7)), S_OK);
    DDSCAPS2 caps{DDSCAPS_LOCALVIDMEM, 0, 0, 0};
    DWORD total = 0, free = 0;
    EXPECT_EQ(dd7->GetAvailableVidMem(&caps, &total, &free), DDERR_NOTINITIALIZED);
    EXPECT_EQ(dd2->Initialize(nullptr), DD_OK);
    EXPECT_EQ(dd2->Initialize(nullptr), DDERR_ALREADYINITIALIZED);
    EXPECT_EQ(dd7->GetAvailableVidMem(&caps, &total, &free), DD_OK);
    caps.dwCaps = 0;
    EXPECT_EQ(dd7->GetAvailableVidMem(&caps, &total, &free), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd7->Release(), 1u);
    EXPECT_EQ(dd2->Release(), 0u);
    CoUninitialize();
    CoUninitialize();
}

}  // namespace
