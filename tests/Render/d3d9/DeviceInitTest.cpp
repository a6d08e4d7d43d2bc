// Device creation and its fallbacks, loss and reset, presentation and the shared Direct3D object.
#include <cstring>

#include "Entity/Image/PixelFormat.h"
#include "Render/d3d9/RenderTargetD3D9.h"
#include "Render/ClearRecord.h"
#include "tests/Render/d3d9/DeviceFixture.h"

namespace {

using Zel::RenderDeviceD3D9;
using ZelTest::DeviceTest;

int CountOf(const std::string& text, const std::string& needle) {
    int count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + 1))
        ++count;
    return count;
}

D3DSURFACE_DESC BackBufferDesc(IDirect3DDevice9* device) {
    IDirect3DSurface9* back = nullptr;
    device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
    D3DSURFACE_DESC desc{};
    back->GetDesc(&desc);
    back->Release();
    return desc;
}

D3DSURFACE_DESC DepthDesc(IDirect3DDevice9* device) {
    IDirect3DSurface9* depth = nullptr;
    device->GetDepthStencilSurface(&depth);
    D3DSURFACE_DESC desc{};
    depth->GetDesc(&desc);
    depth->Release();
    return desc;
}

TEST_F(DeviceTest, ExAndPlainRoadsFollowTheExportAndSwitch62) {
    struct Case {
        const char* name;
        bool exportEx;
        bool exFails;
        int switch62;
        bool expectEx;
        const char* logLine;
    };
    const Case cases[] = {
        {"Ex preferred", true, false, 1, true, "创建d3d9Ex对象成功"},
        {"switch 62 off", true, false, 0, false, "支持d3d9Ex，但配置不允许使用d3d9Ex"},
        {"no Ex export", false, false, 1, false, "软硬件均不支持d3d9Ex"},
        {"Ex object fails", true, true, 1, false, "创建d3d9Ex对象失败，改用D3D9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        D3D9Module::Settings module;
        module.create9Ex = c.exportEx;
        module.create9ExFails = c.exFails;
        D3D9Module::Install(module);
        Config().SetValue(62, c.switch62);
        ASSERT_TRUE(Init(Settings()));
        EXPECT_EQ(Device().IsEx(), c.expectEx);
        EXPECT_EQ(Soft()->IsEx(), c.expectEx);
        EXPECT_EQ(Device().GetDeviceState(), Zel::DEVICE_USABLE);
        EXPECT_NE(LogText().find(c.logLine), std::string::npos);
        EXPECT_NE(Device().GetStateManager(), nullptr);
        EXPECT_EQ(Device().GetCreatingThreadId(), GetCurrentThreadId());
        device_.reset();
    }
}

TEST_F(DeviceTest, HardwareVertexProcessingFailureRetriesOnceWithSoftware) {
    SoftAdapter::Current().hardwareVertexProcessingFails = true;
    for (int ex : {1, 0}) {
        SCOPED_TRACE(ex);
        Config().SetValue(62, ex);
        ASSERT_TRUE(Init(Settings()));
        device_.reset();
    }
    const std::string log = LogText();
    EXPECT_EQ(CountOf(log, "CreateDeviceEx begin,try D3DCREATE_SOFTWARE_VERTEXPROCESSING"), 1);
    EXPECT_EQ(CountOf(log, ":D3DCREATE_SOFTWARE_VERTEXPROCESSING;fn="), 1);
    EXPECT_EQ(CountOf(log, "d3d设备创建成功;fn=Engine\\Render\\d3d9\\RenderDeviceD3D9["), 2);
}

TEST_F(DeviceTest, DeviceThatCannotBeMadeShowsTheMirelvaneBoxAfterTwoAttempts) {
    SoftAdapter::Current().createDeviceFails = true;
    Config().SetValue(62, 0);
    EXPECT_FALSE(Init(Settings()));
    EXPECT_EQ(Device().GetD3DDevice(), nullptr);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].owner, nullptr);
    EXPECT_EQ(Boxes()[0].caption, "MIRELVANE");
    EXPECT_EQ(Boxes()[0].type, 0u);
    const std::string log = LogText();
    EXPECT_EQ(CountOf(log, ":D3DCREATE_HARDWARE_VERTEXPROCESSING;fn="), 1);
    EXPECT_EQ(CountOf(log, ":D3DCREATE_SOFTWARE_VERTEXPROCESSING;fn="), 1);
    EXPECT_NE(log.find(":ENGINE_INIT:创建D3D设备失败"), std::string::npos);
    // Without a device every operation is a no-op.
    EXPECT_EQ(Device().GetAvailableTextureMem(), 0u);
    EXPECT_FALSE(Device().Present());
    EXPECT_FALSE(Device().ResetDevice(Settings()));
}

TEST_F(DeviceTest, MissingD3d9DllShowsTheMirelvaneBox) {
    SetModuleMissing("d3d9.dll", TRUE);
    EXPECT_FALSE(Init(Settings()));
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].caption, "MIRELVANE");
    EXPECT_EQ(Boxes()[0].type, 0u);
    EXPECT_NE(LogText().find(":ENGINE_INIT:加载d3d9.dll失败"), std::string::npos);
}

TEST_F(DeviceTest, LogLinesOfAnExCreationAreEngineInitRecords) {
    ASSERT_TRUE(Init(Settings()));
    const std::string log = LogText();
    for (const char* line : {
             ":ENGINE_INIT:开始获取函数指针;fn=Engine\\Render\\d3d9\\RenderDeviceD3D9[",
             ":ENGINE_INIT:开始创建d3d9Ex对象;fn=",
             ":ENGINE_INIT:fn=Engine\\Render\\d3d9\\RenderDeviceD3D9[",
             ":ENGINE_INIT:CreateDeviceEx begin,try D3DCREATE_HARDWARE_VERTEXPROCESSING;fn=",
             ":ENGINE_INIT:CreateDeviceEx;fn=",
             ":ENGINE_INIT:创建d3d9Ex设备结束",
             ":ENGINE_INIT:d3d设备创建成功;fn=",
             ":ENGINE_INIT:Found key : HARDWARE\\DEVICEMAP\\VIDEO",
             ":ENGINE_INIT:Set value D3D_98764205 to 1",
             ":ENGINE_INIT:Set value FlipQueueSize to 1",
         })
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_EQ(log.find("CreateDeviceEx begin,try D3DCREATE_SOFTWARE"), std::string::npos);
}

TEST_F(DeviceTest, DriverRegistryTakesTheMaximumPrerenderedFrames) {
    Config().SetValue(60, 3);
    ASSERT_TRUE(Init(Settings()));
    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, D3D9Module::AdapterKeyPath().c_str(), 0, KEY_READ, &key),
        ERROR_SUCCESS);
    std::int32_t frames = 0;
    DWORD size = sizeof frames;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "D3D_98764205", nullptr, &type,
                               reinterpret_cast<BYTE*>(&frames), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(frames, 3);
    char text[16] = {};
    size = sizeof text;
    EXPECT_EQ(RegQueryValueExA(key, "FlipQueueSize", nullptr, &type, reinterpret_cast<BYTE*>(text),
                               &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_STREQ(text, "3");
    EXPECT_EQ(size, 2u);
    RegCloseKey(key);
}

TEST_F(DeviceTest, UnsupportedFormatsFallBackToX1R5G5B5AndD16) {
    SoftAdapter& adapter = SoftAdapter::Current();
    adapter.formatUsages[D3DFMT_X8R8G8B8] &= ~D3DUSAGE_RENDERTARGET;
    adapter.formatUsages.erase(D3DFMT_D24S8);
    adapter.formatUsages.erase(D3DFMT_A8R8G8B8);
    ASSERT_TRUE(Init(Settings()));
    EXPECT_EQ(BackBufferDesc(Device().GetD3DDevice()).Format, D3DFMT_X1R5G5B5);
    EXPECT_EQ(DepthDesc(Device().GetD3DDevice()).Format, D3DFMT_D16);
    EXPECT_FALSE(Device().IsA8R8G8B8TargetSupported());
    EXPECT_FALSE(Device().EnableA8R8G8B8Target());
    EXPECT_FALSE(Device().IsA8R8G8B8TargetEnabled());
}

TEST_F(DeviceTest, FormatChoicesOfTheSettings) {
    struct Case {
        std::uint32_t back, depth;
        D3DFORMAT expectBack, expectDepth;
    };
    const Case cases[] = {
        {0, 0, D3DFMT_X8R8G8B8, D3DFMT_D24S8},
        {1, 1, D3DFMT_A8R8G8B8, D3DFMT_D24X8},
        {2, 2, D3DFMT_X1R5G5B5, D3DFMT_D16},
        {7, 9, D3DFMT_X8R8G8B8, D3DFMT_D24S8},
    };
    for (const Case& c : cases) {
        Zel::DisplaySettings settings = Settings();
        settings.backBufferFormat = c.back;
        settings.depthFormat = c.depth;
        ASSERT_TRUE(Init(settings));
        EXPECT_EQ(BackBufferDesc(Device().GetD3DDevice()).Format, c.expectBack);
        EXPECT_EQ(DepthDesc(Device().GetD3DDevice()).Format, c.expectDepth);
        EXPECT_TRUE(Device().IsA8R8G8B8TargetSupported());
        EXPECT_TRUE(Device().EnableA8R8G8B8Target());
        EXPECT_TRUE(Device().IsA8R8G8B8TargetEnabled());
        EXPECT_TRUE(Device().DisableA8R8G8B8Target());
        EXPECT_FALSE(Device().IsA8R8G8B8TargetEnabled());
    }
}

TEST_F(DeviceTest, MultisampleTypeMustSuitBothBackBufferAndDepthFormat) {
    SoftAdapter& adapter = SoftAdapter::Current();
    adapter.multisampleTypes[D3DFMT_X8R8G8B8] = (1u << 4) | (1u << 6);
    adapter.multisampleTypes[D3DFMT_D24S8] = 1u << 6;
    struct Case {
        std::uint32_t mode;
        D3DMULTISAMPLE_TYPE expect;
    };
    const Case cases[] = {{0x4, D3DMULTISAMPLE_NONE},  // the depth format lacks 4 samples
                          {0x8, D3DMULTISAMPLE_6_SAMPLES},
                          {0x2, D3DMULTISAMPLE_NONE},  // neither has 2
                          {3, D3DMULTISAMPLE_NONE}};
    for (const Case& c : cases) {
        Zel::DisplaySettings settings = Settings();
        settings.antialiasMode = c.mode;
        ASSERT_TRUE(Init(settings));
        EXPECT_EQ(BackBufferDesc(Device().GetD3DDevice()).MultiSampleType, c.expect) << c.mode;
    }
}

TEST_F(DeviceTest, DeviceStateFollowsTheLossCodes) {
    struct Case {
        HRESULT code;
        std::uint32_t plain, ex;
    };
    const Case cases[] = {
        {D3D_OK, 0, 0},
        {D3DERR_DEVICELOST, 1, 1},
        {D3DERR_DEVICENOTRESET, 2, 2},
        {D3DERR_DEVICEREMOVED, 1, 1},
        {D3DERR_DEVICEHUNG, 1, 1},
        {D3DERR_DRIVERINTERNALERROR, 1, 0},
        {S_PRESENT_OCCLUDED, 1, 0},
    };
    for (int ex : {0, 1}) {
        Config().SetValue(62, ex);
        ASSERT_TRUE(Init(Settings()));
        for (const Case& c : cases) {
            Soft()->SetCooperativeLevelResult(c.code);
            EXPECT_EQ(Device().GetDeviceState(), ex ? c.ex : c.plain) << c.code << " ex " << ex;
        }
    }
    EXPECT_NE(LogText().find(":ENGINE_INIT:Device Has Been Broken!"), std::string::npos);
}

TEST_F(DeviceTest, WithoutADeviceTheStateSaysSoRatherThanLost) {
    // A host polling before Init, or after an Init that made no device, is not told to reset.
    device_ = std::make_unique<Zel::RenderDeviceD3D9>();
    EXPECT_EQ(Device().GetDeviceState(), Zel::DEVICE_NONE);
    SoftAdapter::Current().createDeviceFails = true;
    EXPECT_FALSE(Init(Settings()));
    EXPECT_EQ(Device().GetDeviceState(), Zel::DEVICE_NONE);
}

TEST_F(DeviceTest, PlainResetIsRepeatedOnceAfterSuccessAndReadsTheCacheBack) {
    Config().SetValue(62, 0);
    MakeDevice();
    Device().SetZFunc(Zel::CMP_GREATER);
    ASSERT_EQ(DeviceRenderState(D3DRS_ZFUNC), static_cast<DWORD>(D3DCMP_GREATER));
    Soft()->SetCooperativeLevelResult(D3DERR_DEVICENOTRESET);
    ASSERT_EQ(Device().GetDeviceState(), Zel::DEVICE_NEEDS_RESET);
    Soft()->ResetCallCounts();
    EXPECT_TRUE(Device().ResetDevice(Settings()));
    EXPECT_EQ(Calls(D3D9Call::Reset), 2u);
    EXPECT_EQ(Device().GetDeviceState(), Zel::DEVICE_USABLE);
    // The reset put the device back to LESSEQUAL; the cache knows, so asking for it costs nothing.
    EXPECT_EQ(Device().GetStateCache().GetRenderState(D3DRS_ZFUNC),
              static_cast<DWORD>(D3DCMP_LESSEQUAL));
    Soft()->ResetCallCounts();
    Device().SetZFunc(Zel::CMP_LESS_EQUAL);
    EXPECT_EQ(Calls(D3D9Call::SetRenderState), 0u);
    Device().SetZFunc(Zel::CMP_GREATER);
    EXPECT_EQ(Calls(D3D9Call::SetRenderState), 1u);
}

TEST_F(DeviceTest, FailedPlainResetIsNotRepeatedAndLeavesTheCache) {
    Config().SetValue(62, 0);
    MakeDevice();
    // A DEFAULT-pool buffer still alive makes a plain reset fail.
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(
        Device().GetD3DDevice()->CreateVertexBuffer(64, 0, 0, D3DPOOL_DEFAULT, &buffer, nullptr),
        D3D_OK);
    Device().SetZFunc(Zel::CMP_GREATER);
    Soft()->SetCooperativeLevelResult(D3DERR_DEVICENOTRESET);
    Soft()->ResetCallCounts();
    EXPECT_FALSE(Device().ResetDevice(Settings()));
    EXPECT_EQ(Calls(D3D9Call::Reset), 1u);
    EXPECT_EQ(Device().GetStateCache().GetRenderState(D3DRS_ZFUNC),
              static_cast<DWORD>(D3DCMP_GREATER));
    buffer->Release();
    EXPECT_TRUE(Device().ResetDevice(Settings()));
}

TEST_F(DeviceTest, ExDeviceResetsOnceWithResetEx) {
    MakeDevice();
    ASSERT_TRUE(Device().IsEx());
    Soft()->ResetCallCounts();
    EXPECT_TRUE(Device().ResetDevice(Settings()));
    EXPECT_EQ(Calls(D3D9Call::ResetEx), 1u);
    EXPECT_EQ(Calls(D3D9Call::Reset), 0u);
}

TEST_F(DeviceTest, PresentWithoutColourTargetZeroPresentsTheWholeBackBuffer) {
    for (int ex : {0, 1}) {
        Config().SetValue(62, ex);
        MakeDevice();
        ASSERT_EQ(Device().GetRenderTarget(0), nullptr);
        Zel::ClearRecord clear;
        clear.flags = Zel::CLEAR_COLOUR;
        clear.colour[0] = 1.0f;
        Device().Clear(clear);
        const ULONGLONG before = Win32Window::Find(window_)->PresentCount();
        EXPECT_TRUE(Device().Present());
        EXPECT_EQ(Win32Window::Find(window_)->PresentCount(), before + 1);
        EXPECT_EQ(Win32Window::Find(window_)->Pixel(kWidth - 1, kHeight - 1), 0xFFFF0000u);
        EXPECT_EQ(Calls(ex ? D3D9Call::PresentEx : D3D9Call::Present), 1u);
    }
}

TEST_F(DeviceTest, PresentIntoColourTargetZerosRectangle) {
    MakeDevice();
    IDirect3DSurface9* back = nullptr;
    Device().GetD3DDevice()->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
    Zel::RenderTargetD3D9 target(&Device(), 0);
    target.AttachSurface(back, kWidth / 2, kHeight / 2, Zel::PF_X8R8G8B8, 0);
    Device().SetRenderTarget(0, &target);
    Zel::ClearRecord clear;
    clear.flags = Zel::CLEAR_COLOUR;
    clear.colour[1] = 1.0f;
    clear.colour[3] = 1.0f;
    Device().Clear(clear);
    EXPECT_TRUE(Device().Present());
    // The back buffer is stretched into the top-left quarter of the window only.
    std::shared_ptr<Win32Window> window = Win32Window::Find(window_);
    EXPECT_EQ(window->Pixel(0, 0), 0xFF00FF00u);
    EXPECT_EQ(window->Pixel(kWidth - 1, kHeight - 1), 0xFF000000u);
    Device().SetRenderTarget(0, nullptr);
    back->Release();
}

TEST_F(DeviceTest, DevicesShareOneDirect3DObjectThatOutlivesTheFirstDevice) {
    MakeDevice();
    auto second = std::make_unique<RenderDeviceD3D9>();
    ASSERT_TRUE(second->Init(Settings()));
    EXPECT_TRUE(second->IsEx());
    device_.reset();
    // The second device still reaches the Direct3D object for its format checks.
    EXPECT_TRUE(second->ResetDevice(Settings()));
    second.reset();
}

}  // namespace
