// Clear and Present into the window stand-in: the clear colour reaches the window's frame buffer
// (through the device and through an additional swap chain), the frame saves as an image, and
// setting render target 0 resets the viewport that Clear fills.
#include <string>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#include <stb/stb_image.h>

#include "Platform/D3D9/SoftSurface9.h"
#include "support/TempDir.h"
#include "tests/Platform/D3D9Fixture.h"

namespace {

using D3D9Present = D3D9Fixture;

TEST_F(D3D9Present, ClearThenPresentPutsTheColourInTheWindowWhichSavesAsAnImage) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                            D3DCOLOR_XRGB(0x20, 0x40, 0xC0), 1.0f, 0),
              D3D_OK);
    const D3DRECT corner{0, 0, 8, 4};
    ASSERT_EQ(device->Clear(1, &corner, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0xFF, 0x80, 0x00), 1.0f, 0),
              D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    auto window = Window();
    EXPECT_EQ(window->PresentCount(), 1u);
    EXPECT_EQ(window->Pixel(7, 3), D3DCOLOR_XRGB(0xFF, 0x80, 0x00));
    EXPECT_EQ(window->Pixel(8, 3), D3DCOLOR_XRGB(0x20, 0x40, 0xC0));
    EXPECT_EQ(window->Pixel(kWidth - 1, kHeight - 1), D3DCOLOR_XRGB(0x20, 0x40, 0xC0));

    ZelTest::TempDir dir;
    std::string path = (dir.Path() / "frame.png").string();
    ASSERT_TRUE(window->SavePng(path.c_str()));
    int w = 0, h = 0, channels = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &w, &h, &channels, 3);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(w, static_cast<int>(kWidth));
    EXPECT_EQ(h, static_cast<int>(kHeight));
    const unsigned char* orange = pixels + (3 * kWidth + 7) * 3;
    const unsigned char* blue = pixels + ((kHeight - 1) * kWidth + kWidth - 1) * 3;
    EXPECT_EQ(orange[0], 0xFF);
    EXPECT_EQ(orange[1], 0x80);
    EXPECT_EQ(orange[2], 0x00);
    EXPECT_EQ(blue[0], 0x20);
    EXPECT_EQ(blue[1], 0x40);
    EXPECT_EQ(blue[2], 0xC0);
    stbi_image_free(pixels);

    EXPECT_FALSE(window->SavePng((dir.Path() / "missing" / "frame.png").string().c_str()));
}

TEST_F(D3D9Present, AdditionalSwapChainPresentsItsBackBufferIntoItsWindow) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    HWND second = Win32Window::Create(20, 10);
    ASSERT_NE(second, nullptr);
    {
        D3DPRESENT_PARAMETERS p = Parameters();
        p.hDeviceWindow = second;
        p.EnableAutoDepthStencil = FALSE;
        ComRef<IDirect3DSwapChain9> chain;
        ASSERT_EQ(device->CreateAdditionalSwapChain(&p, chain.Out()), D3D_OK);
        EXPECT_EQ(p.BackBufferWidth, 20u);  // completed from the window
        ComRef<IDirect3DSurface9> back;
        ASSERT_EQ(chain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, back.Out()), D3D_OK);
        ASSERT_EQ(device->SetRenderTarget(0, back.Get()), D3D_OK);
        ASSERT_EQ(
            device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0x10, 0xE0, 0x30), 1.0f, 0),
            D3D_OK);
        ASSERT_EQ(chain->Present(nullptr, nullptr, nullptr, nullptr, 0), D3D_OK);
        EXPECT_EQ(Soft(device)->CallCount(D3D9Call::SwapChainPresent), 1u);

        auto window = Win32Window::Find(second);
        EXPECT_EQ(window->Pixel(19, 9), D3DCOLOR_XRGB(0x10, 0xE0, 0x30));
        EXPECT_EQ(Window()->PresentCount(), 0u);  // the device window saw nothing

        // A destination rectangle scales the back buffer into part of the window.
        window->SetClientSize(40, 20);
        RECT half{0, 0, 20, 10};
        ASSERT_EQ(chain->Present(nullptr, &half, nullptr, nullptr, 0), D3D_OK);
        EXPECT_EQ(window->Pixel(19, 9), D3DCOLOR_XRGB(0x10, 0xE0, 0x30));
        EXPECT_EQ(window->Pixel(20, 10), 0xFF000000u);

        Soft(device)->SetCooperativeLevelResult(D3DERR_DEVICELOST);
        EXPECT_EQ(chain->Present(nullptr, nullptr, nullptr, nullptr, 0), D3DERR_DEVICELOST);
        Soft(device)->SetCooperativeLevelResult(D3D_OK);
        DestroyWindow(second);
        EXPECT_EQ(chain->Present(nullptr, nullptr, nullptr, nullptr, 0), D3DERR_INVALIDCALL);
    }
}

TEST_F(D3D9Present, SettingRenderTargetZeroResetsTheViewportThatClearFills) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    ComRef<IDirect3DSurface9> back, target;
    ASSERT_EQ(device->GetRenderTarget(0, back.Out()), D3D_OK);
    ASSERT_EQ(device->CreateRenderTarget(16, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE,
                                         target.Out(), nullptr),
              D3D_OK);

    D3DVIEWPORT9 small{2, 2, 4, 4, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&small), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, target.Get()), D3D_OK);
    D3DVIEWPORT9 vp{};
    ASSERT_EQ(device->GetViewport(&vp), D3D_OK);
    EXPECT_EQ(vp.X, 0u);
    EXPECT_EQ(vp.Width, 16u);
    EXPECT_EQ(vp.Height, 8u);
    RECT scissor{};
    device->GetScissorRect(&scissor);
    EXPECT_EQ(scissor.right, 16);
    // Setting target 1 leaves the viewport alone.
    ASSERT_EQ(device->SetViewport(&small), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(1, back.Get()), D3D_OK);
    ASSERT_EQ(device->GetViewport(&vp), D3D_OK);
    EXPECT_EQ(vp.Width, 4u);
    ASSERT_EQ(device->SetRenderTarget(1, nullptr), D3D_OK);

    // Clear without rectangles fills the viewport only; with the scissor test on, only the
    // scissor rectangle's part of it.
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);
    RECT narrow{0, 0, 3, 8};
    device->SetScissorRect(&narrow);
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(target->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    auto at = [&](int x, int y) {
        return reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x];
    };
    EXPECT_EQ(at(1, 1), 0u);           // outside the viewport
    EXPECT_EQ(at(2, 2), 0xFFFF0000u);  // viewport and scissor
    EXPECT_EQ(at(3, 2), 0xFF00FF00u);  // viewport only
    EXPECT_EQ(at(5, 5), 0xFF00FF00u);
    EXPECT_EQ(at(6, 6), 0u);
    target->UnlockRect();

    // Depth and stencil need a depth-stencil surface that has them.
    ComRef<IDirect3DSurface9> d16;
    ASSERT_EQ(device->CreateDepthStencilSurface(16, 8, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, TRUE,
                                                d16.Out(), nullptr),
              D3D_OK);
    ASSERT_EQ(device->SetDepthStencilSurface(d16.Get()), D3D_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.5f, 0), D3D_OK);
    EXPECT_EQ(SoftSurface9::From(d16.Get())->Depth()[2 * 16 + 2], 0.5f);
    EXPECT_EQ(SoftSurface9::From(d16.Get())->Depth()[0], 1.0f);
    ASSERT_EQ(device->SetDepthStencilSurface(nullptr), D3D_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
}

TEST_F(D3D9Present, PresentScalesAndConvertsTheBackBuffer) {
    // A 16-bit back buffer half the window's size: every back-buffer pixel covers 2×2 window
    // pixels.
    ComRef<IDirect3D9> d3d(Direct3DCreate9(D3D_SDK_VERSION));
    D3DPRESENT_PARAMETERS p = Parameters();
    p.BackBufferWidth = kWidth / 2;
    p.BackBufferHeight = kHeight / 2;
    p.BackBufferFormat = D3DFMT_R5G6B5;
    ComRef<IDirect3DDevice9> device;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window_, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p,
                                device.Out()),
              D3D_OK);
    const D3DRECT pixel{1, 0, 2, 1};
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->Clear(1, &pixel, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    auto window = Window();
    EXPECT_EQ(window->Pixel(1, 1), 0xFFFFFFFFu);
    EXPECT_EQ(window->Pixel(2, 0), 0xFF0000FFu);
    EXPECT_EQ(window->Pixel(3, 1), 0xFF0000FFu);
    EXPECT_EQ(window->Pixel(4, 0), 0xFFFFFFFFu);
    RECT outside{0, 0, static_cast<LONG>(kWidth), 1};  // wider than the back buffer
    EXPECT_EQ(device->Present(&outside, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
}

TEST(WindowStandIn, HandlesClientSizeAndFrameBuffer) {
    EXPECT_EQ(Win32Window::Create(0, 10), nullptr);
    EXPECT_EQ(Win32Window::Create(10, 16385), nullptr);
    HWND window = Win32Window::Create(3, 2);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindow(window));
    RECT client{};
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 3);
    EXPECT_EQ(client.bottom, 2);
    auto w = Win32Window::Find(window);
    EXPECT_EQ(w->Frame().size(), 6u);
    EXPECT_EQ(w->Pixel(2, 1), 0xFF000000u);  // black until something is presented
    EXPECT_EQ(w->Pixel(3, 0), 0u);           // outside
    EXPECT_FALSE(w->SetClientSize(0, 1));
    EXPECT_TRUE(w->SetClientSize(5, 4));
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 5);
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_FALSE(GetClientRect(window, &client));
    EXPECT_FALSE(IsWindow(nullptr));
}

}  // namespace
