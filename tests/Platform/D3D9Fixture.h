// Shared set-up for the software Direct3D 9 tests: a window stand-in, the default adapter and
// module settings, and devices made on them. ComRef releases what a test holds at scope end.
#pragma once

#include <gtest/gtest.h>

#include "Platform/D3D9/D3D9.h"
#include "Platform/D3D9/D3D9Module.h"
#include "Platform/D3D9/SoftAdapter.h"
#include "Platform/D3D9/SoftDevice9.h"
#include "Platform/D3D9/SoftDirectDraw.h"
#include "Platform/Win32/Win32Window.h"

template <class T>
class ComRef {
public:
    ComRef() = default;
    explicit ComRef(T* p) : p_(p) {}
    ~ComRef() { Reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    T* operator->() const { return p_; }
    T* Get() const { return p_; }
    T** Out() {
        Reset();
        return &p_;
    }
    // Releases the reference; answers what Release answered (0 when empty).
    ULONG Reset() {
        ULONG left = p_ ? p_->Release() : 0;
        p_ = nullptr;
        return left;
    }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

class D3D9Fixture : public ::testing::Test {
protected:
    static constexpr UINT kWidth = 64;
    static constexpr UINT kHeight = 48;

    void SetUp() override {
        SoftAdapter::Restore();
        SoftDirectDraw::Restore();
        D3D9Module::Install();
        D3D9Module::ResetPerf();
        window_ = Win32Window::Create(kWidth, kHeight);
        ASSERT_NE(window_, nullptr);
    }

    void TearDown() override {
        DestroyWindow(window_);
        SoftAdapter::Restore();
        SoftDirectDraw::Restore();
        D3D9Module::Install();
    }

    // Windowed, discard, back buffer of the window's size, automatic D24S8 depth-stencil.
    D3DPRESENT_PARAMETERS Parameters() const {
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferFormat = D3DFMT_X8R8G8B8;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.hDeviceWindow = window_;
        p.Windowed = TRUE;
        p.EnableAutoDepthStencil = TRUE;
        p.AutoDepthStencilFormat = D3DFMT_D24S8;
        p.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        return p;
    }

    // A plain device (or an Ex one) with Parameters(); fails the test when it cannot be made.
    void MakeDevice(ComRef<IDirect3DDevice9>* device, bool ex = false) {
        D3DPRESENT_PARAMETERS p = Parameters();
        if (ex) {
            ComRef<IDirect3D9Ex> d3d;
            ASSERT_EQ(Direct3DCreate9Ex(D3D_SDK_VERSION, d3d.Out()), S_OK);
            IDirect3DDevice9Ex* made = nullptr;
            ASSERT_EQ(d3d->CreateDeviceEx(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_,
                                          D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, nullptr, &made),
                      D3D_OK);
            *device->Out() = made;
        } else {
            ComRef<IDirect3D9> d3d(Direct3DCreate9(D3D_SDK_VERSION));
            ASSERT_TRUE(d3d);
            ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_,
                                        D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, device->Out()),
                      D3D_OK);
        }
    }

    static SoftDevice9* Soft(const ComRef<IDirect3DDevice9>& device) {
        return SoftDevice9::From(device.Get());
    }

    std::shared_ptr<Win32Window> Window() const { return Win32Window::Find(window_); }

    HWND window_ = nullptr;
};
