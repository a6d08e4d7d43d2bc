// Device loss and reset: the cooperative-level codes, what blocks a plain device's Reset, what
// survives it, and the Ex device that keeps its DEFAULT resources.
#include <cstring>

#include "tests/Platform/D3D9Fixture.h"

namespace {

using D3D9Loss = D3D9Fixture;

void Fill(IDirect3DVertexBuffer9* buffer, const char* text) {
    void* data = nullptr;
    ASSERT_EQ(buffer->Lock(0, 8, &data, 0), D3D_OK);
    std::memcpy(data, text, 8);
    buffer->Unlock();
}

bool Holds(IDirect3DVertexBuffer9* buffer, const char* text) {
    void* data = nullptr;
    if (buffer->Lock(0, 8, &data, D3DLOCK_READONLY) != D3D_OK)
        return false;
    bool same = std::memcmp(data, text, 8) == 0;
    buffer->Unlock();
    return same;
}

TEST_F(D3D9Loss, LostThenNotResetThenResetWhenTheDefaultBufferIsReleased) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    SoftDevice9* soft = Soft(device);
    ComRef<IDirect3DVertexBuffer9> lost, kept, system;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_DEFAULT, lost.Out(), nullptr), D3D_OK);
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, kept.Out(), nullptr), D3D_OK);
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_SYSTEMMEM, system.Out(), nullptr),
              D3D_OK);
    Fill(kept.Get(), "managed!");
    Fill(system.Get(), "systemem");
    EXPECT_EQ(soft->ResetBlockers(), 1u);

    soft->SetCooperativeLevelResult(D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    D3DPRESENT_PARAMETERS p = Parameters();
    EXPECT_EQ(device->Reset(&p), D3DERR_DEVICELOST);  // not ready yet
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);

    soft->SetCooperativeLevelResult(D3DERR_DEVICENOTRESET);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL);  // the DEFAULT buffer still lives
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);

    lost.Reset();
    EXPECT_EQ(soft->ResetBlockers(), 0u);
    ASSERT_EQ(device->Reset(&p), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_TRUE(Holds(kept.Get(), "managed!"));
    EXPECT_TRUE(Holds(system.Get(), "systemem"));
}

TEST_F(D3D9Loss, EveryKindOfDefaultObjectBlocksAPlainReset) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    D3DPRESENT_PARAMETERS p = Parameters();
    struct Case {
        const char* what;
        IUnknown* (*make)(IDirect3DDevice9*, D3DPRESENT_PARAMETERS*);
    };
    const Case cases[] = {
        {"default texture",
         [](IDirect3DDevice9* d, D3DPRESENT_PARAMETERS*) -> IUnknown* {
             IDirect3DTexture9* t = nullptr;
             d->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t,
                              nullptr);
             return t;
         }},
        {"default cube texture",
         [](IDirect3DDevice9* d, D3DPRESENT_PARAMETERS*) -> IUnknown* {
             IDirect3DCubeTexture9* t = nullptr;
             d->CreateCubeTexture(4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t, nullptr);
             return t;
         }},
        {"default index buffer",
         [](IDirect3DDevice9* d, D3DPRESENT_PARAMETERS*) -> IUnknown* {
             IDirect3DIndexBuffer9* b = nullptr;
             d->CreateIndexBuffer(64, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &b, nullptr);
             return b;
         }},
        {"render target",
         [](IDirect3DDevice9* d, D3DPRESENT_PARAMETERS*) -> IUnknown* {
             IDirect3DSurface9* s = nullptr;
             d->CreateRenderTarget(4, 4, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &s,
                                   nullptr);
             return s;
         }},
        {"depth-stencil surface",
         [](IDirect3DDevice9* d, D3DPRESENT_PARAMETERS*) -> IUnknown* {
             IDirect3DSurface9* s = nullptr;
             d->CreateDepthStencilSurface(4, 4, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, TRUE, &s,
                                          nullptr);
             return s;
         }},
        {"additional swap chain",
         [](IDirect3DDevice9* d, D3DPRESENT_PARAMETERS* params) -> IUnknown* {
             IDirect3DSwapChain9* c = nullptr;
             D3DPRESENT_PARAMETERS copy = *params;
             d->CreateAdditionalSwapChain(&copy, &c);
             return c;
         }},
        {"held back buffer",
         [](IDirect3DDevice9* d, D3DPRESENT_PARAMETERS*) -> IUnknown* {
             IDirect3DSurface9* s = nullptr;
             d->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &s);
             return s;
         }},
        {"held automatic depth buffer",
         [](IDirect3DDevice9* d, D3DPRESENT_PARAMETERS*) -> IUnknown* {
             IDirect3DSurface9* s = nullptr;
             d->GetDepthStencilSurface(&s);
             return s;
         }},
    };
    for (const Case& c : cases) {
        ComRef<IUnknown> object(c.make(device.Get(), &p));
        ASSERT_TRUE(object) << c.what;
        EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL) << c.what;
        object.Reset();
        EXPECT_EQ(device->Reset(&p), D3D_OK) << c.what;
    }
    // Objects outside the DEFAULT pool, queries, declarations and shaders do not block.
    ComRef<IDirect3DQuery9> query;
    device->CreateQuery(D3DQUERYTYPE_OCCLUSION, query.Out());
    ComRef<IDirect3DSurface9> offscreen;
    device->CreateOffscreenPlainSurface(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, offscreen.Out(),
                                        nullptr);
    EXPECT_EQ(device->Reset(&p), D3D_OK);
}

TEST_F(D3D9Loss, ResetUnbindsObjectsTheCallerNoLongerHolds) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    ComRef<IDirect3DTexture9> target;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                    D3DPOOL_DEFAULT, target.Out(), nullptr),
              D3D_OK);
    ComRef<IDirect3DSurface9> level;
    target->GetSurfaceLevel(0, level.Out());
    ASSERT_EQ(device->SetRenderTarget(1, level.Get()), D3D_OK);
    ASSERT_EQ(device->SetTexture(0, target.Get()), D3D_OK);
    level.Reset();
    target.Reset();  // only bound now: it no longer blocks the reset, which drops it
    EXPECT_EQ(Soft(device)->ResetBlockers(), 0u);
    D3DPRESENT_PARAMETERS p = Parameters();
    ASSERT_EQ(device->Reset(&p), D3D_OK);
    ComRef<IDirect3DSurface9> slot1;
    EXPECT_EQ(device->GetRenderTarget(1, slot1.Out()), D3DERR_NOTFOUND);
}

TEST_F(D3D9Loss, ExDeviceKeepsDefaultContentAcrossResetEx) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device, true);
    ComRef<IDirect3DDevice9Ex> ex;
    ASSERT_EQ(device->QueryInterface(IID_IDirect3DDevice9Ex, reinterpret_cast<void**>(ex.Out())),
              S_OK);
    ComRef<IDirect3DVertexBuffer9> buffer;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_DEFAULT, buffer.Out(), nullptr), D3D_OK);
    Fill(buffer.Get(), "survives");

    Soft(device)->SetCooperativeLevelResult(D3DERR_DEVICELOST);
    EXPECT_EQ(ex->CheckDeviceState(window_), D3DERR_DEVICELOST);
    EXPECT_EQ(ex->PresentEx(nullptr, nullptr, nullptr, nullptr, 0), D3DERR_DEVICELOST);
    Soft(device)->SetCooperativeLevelResult(D3DERR_DEVICENOTRESET);
    D3DPRESENT_PARAMETERS p = Parameters();
    D3DDISPLAYMODEEX mode{};
    EXPECT_EQ(ex->ResetEx(&p, &mode), D3DERR_INVALIDCALL);  // no display mode for a window
    ASSERT_EQ(ex->ResetEx(&p, nullptr), D3D_OK);
    EXPECT_EQ(ex->CheckDeviceState(window_), D3D_OK);
    EXPECT_TRUE(Holds(buffer.Get(), "survives"));
}

TEST_F(D3D9Loss, CooperativeCodesAreAnsweredAsSetAndDecideWhatPresentDoes) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device, true);
    ComRef<IDirect3DDevice9Ex> ex;
    ASSERT_EQ(device->QueryInterface(IID_IDirect3DDevice9Ex, reinterpret_cast<void**>(ex.Out())),
              S_OK);
    struct Case {
        HRESULT code;
        HRESULT present;
    };
    const Case cases[] = {
        {D3D_OK, D3D_OK},
        {D3DERR_DEVICELOST, D3DERR_DEVICELOST},
        {D3DERR_DEVICENOTRESET, D3DERR_DEVICELOST},
        {D3DERR_DEVICEREMOVED, D3DERR_DEVICELOST},
        {D3DERR_DEVICEHUNG, D3DERR_DEVICELOST},
        {D3DERR_DRIVERINTERNALERROR, D3DERR_DEVICELOST},
        {S_PRESENT_OCCLUDED, S_PRESENT_OCCLUDED},
        {S_PRESENT_MODE_CHANGED, S_PRESENT_MODE_CHANGED},
    };
    for (const Case& c : cases) {
        Soft(device)->SetCooperativeLevelResult(c.code);
        EXPECT_EQ(device->TestCooperativeLevel(), c.code);
        EXPECT_EQ(ex->CheckDeviceState(window_), c.code);
        ULONGLONG before = Window()->PresentCount();
        EXPECT_EQ(ex->PresentEx(nullptr, nullptr, nullptr, nullptr, 0), c.present)
            << std::hex << c.code;
        EXPECT_EQ(Window()->PresentCount() - before, c.present == D3D_OK ? 1u : 0u)
            << std::hex << c.code;
    }
}

TEST_F(D3D9Loss, WhileLostDrawsAndClearsSucceedWithoutEffect) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    SoftDevice9* soft = Soft(device);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0), D3D_OK);
    soft->SetCooperativeLevelResult(D3DERR_DEVICELOST);
    // Nothing bound: a live device would refuse this draw.
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
    EXPECT_EQ(soft->Draws().draws, 0u);
    soft->SetCooperativeLevelResult(D3D_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(Window()->Pixel(0, 0), 0xFF0000FFu);  // the clear while lost changed nothing
}

}  // namespace
