// A fresh Globals in a fresh working directory, the software adapter, DirectDraw and "d3d9.dll"
// at their defaults, a 64 × 48 window, message boxes captured, and a render device made on demand.
// Everything is put back at the end so the next test starts from nothing.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Core/FrameStats.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Platform/D3D9/D3D9Module.h"
#include "Platform/D3D9/SoftAdapter.h"
#include "Platform/D3D9/SoftDevice9.h"
#include "Platform/D3D9/SoftDirectDraw.h"
#include "Platform/Win32/Win32.h"
#include "Platform/Win32/Win32Window.h"
#include "Render/DisplaySettings.h"
#include "Render/d3d9/RenderDeviceD3D9.h"
#include "tests/Core/CoreRootFixture.h"

namespace ZelTest {

struct MessageBoxRecord {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

class DeviceTest : public CoreRootTest {
protected:
    static constexpr UINT kWidth = 64;
    static constexpr UINT kHeight = 48;

    void SetUp() override {
        SoftAdapter::Restore();
        SoftDirectDraw::Restore();
        SetModuleMissing("d3d9.dll", FALSE);
        D3D9Module::Install();
        Boxes().clear();
        previousSink_ = SetMessageBoxSink(&CaptureBox);
        window_ = Win32Window::Create(kWidth, kHeight);
        ASSERT_NE(window_, nullptr);
    }

    void TearDown() override {
        device_.reset();
        DestroyWindow(window_);
        SetMessageBoxSink(previousSink_);
        SetModuleMissing("d3d9.dll", FALSE);
        SoftAdapter::Restore();
        SoftDirectDraw::Restore();
        D3D9Module::Install();
    }

    // Windowed, the window's size, X8R8G8B8 with D24S8, no vertical sync, no antialiasing.
    Zel::DisplaySettings Settings() const {
        Zel::DisplaySettings s;
        s.window = window_;
        s.width = kWidth;
        s.height = kHeight;
        return s;
    }

    // Makes the device and runs Init; the device stays in device_ whatever Init answered.
    bool Init(const Zel::DisplaySettings& settings) {
        device_ = std::make_unique<Zel::RenderDeviceD3D9>();
        return device_->Init(settings);
    }
    // Init with Settings() and the capability report, which fills the stage counts the per-stage
    // loops run over. Fails the test when Init fails.
    void MakeDevice() {
        ASSERT_TRUE(Init(Settings()));
        device_->ReportCaps(*G()->GetDeviceCaps(), Settings());
    }

    Zel::RenderDeviceD3D9& Device() { return *device_; }
    SoftDevice9* Soft() { return SoftDevice9::From(device_->GetD3DDevice()); }
    Zel::FrameStats& Stats() { return *G()->GetFrameStats(); }
    Zel::GlobalConfigManager& Config() { return *G()->GetConfigManager(); }
    ULONGLONG Calls(D3D9Call call) { return Soft()->CallCount(call); }
    DWORD DeviceRenderState(D3DRENDERSTATETYPE state) {
        DWORD value = 0;
        device_->GetD3DDevice()->GetRenderState(state, &value);
        return value;
    }

    static std::vector<MessageBoxRecord>& Boxes() {
        static std::vector<MessageBoxRecord> boxes;
        return boxes;
    }

    HWND window_ = nullptr;
    std::unique_ptr<Zel::RenderDeviceD3D9> device_;

private:
    static int CaptureBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
        Boxes().push_back({owner, text ? text : "", caption ? caption : "", type});
        return IDOK;
    }

    MessageBoxSink previousSink_ = nullptr;
};

// A device made and reported on, with its call counters and the frame counters at zero.
class ReadyDeviceTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        MakeDevice();
        Soft()->ResetCallCounts();
        Stats() = Zel::FrameStats{};
    }
};

}  // namespace ZelTest
