// The render-resource registry and the resource notifications, the render window base and the
// system probes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Entity/Scene/SceneManager.h"
#include "Platform/D3D9/D3D9Module.h"
#include "Render/RenderResource.h"
#include "Render/RenderResourceManager.h"
#include "Render/RenderResourceRegistry.h"
#include "Render/RenderSystem.h"
#include "Render/RenderWindow.h"
#include "Render/SystemProbes.h"
#include "tests/Core/CoreRootFixture.h"
#include "tests/Render/d3d9/DeviceFixture.h"

namespace {

using namespace Zel;

class RecordingManager final : public RenderResourceManager {
public:
    RecordingManager(std::vector<std::string>& log, std::string name)
        : log_(log), name_(std::move(name)) {}
    void OnLostDevice() override { log_.push_back(name_ + " lost"); }
    void OnResetDevice() override { log_.push_back(name_ + " reset"); }
    void PurgeUnused() override {}

private:
    std::vector<std::string>& log_;
    std::string name_;
};

class CountingResource final : public RenderResource {
public:
    using RenderResource::RenderResource;
    bool ReleaseDeviceObjects() override {
        ++releases;
        return releaseAnswer;
    }
    bool RecreateDeviceObjects() override {
        ++recreates;
        return true;
    }
    int releases = 0;
    int recreates = 0;
    bool releaseAnswer = true;
};

class RenderResourceTest : public ZelTest::CoreRootTest {};

TEST_F(RenderResourceTest, RegistryKeepsOneEntryPerManagerAndSkipsEmptiedOnes) {
    std::vector<std::string> log;
    RecordingManager a(log, "a"), b(log, "b"), c(log, "c");
    RenderResourceRegistry registry;
    registry.Register(&a);
    registry.Register(&b);
    registry.Register(&a);  // already there
    registry.Register(nullptr);
    registry.Register(&c);
    EXPECT_EQ(registry.GetRegisteredCount(), 3u);
    registry.NotifyDeviceLost();
    EXPECT_EQ(log, (std::vector<std::string>{"a lost", "b lost", "c lost"}));

    log.clear();
    registry.Unregister(&b);
    EXPECT_EQ(registry.GetRegisteredCount(), 2u);
    registry.NotifyDeviceLost();
    registry.NotifyDeviceReset();
    EXPECT_EQ(log, (std::vector<std::string>{"a lost", "c lost", "a reset", "c reset"}));
    // The emptied entry stays empty: a manager registered later goes to the end.
    log.clear();
    registry.Register(&b);
    registry.NotifyDeviceReset();
    EXPECT_EQ(log, (std::vector<std::string>{"a reset", "c reset", "b reset"}));
    registry.Unregister(&a);
    registry.Unregister(&b);
    registry.Unregister(&c);
}

TEST_F(RenderResourceTest, NotificationsAskForARefillAndStampTheResetFrame) {
    G()->Init();
    CountingResource resource(MP_DEFAULT, nullptr);
    EXPECT_EQ(resource.GetRefillFlag(), 1u);
    EXPECT_EQ(resource.GetResetStamp(), 0u);
    EXPECT_TRUE(resource.IsDefaultPool());
    EXPECT_FALSE(CountingResource(MP_MANAGED, nullptr).IsDefaultPool());
    EXPECT_FALSE(CountingResource(MP_SYSTEM_MEMORY, nullptr).IsDefaultPool());

    resource.SetRefillFlag(0);
    resource.releaseAnswer = false;
    EXPECT_FALSE(resource.OnDeviceLost());
    EXPECT_EQ(resource.releases, 1);
    EXPECT_EQ(resource.GetRefillFlag(), 1u);

    resource.SetRefillFlag(0);
    // The scene counts frames from 1.
    for (int i = 0; i < 3; ++i) G()->GetSceneManager()->AdvanceFrame();
    EXPECT_EQ(resource.OnDeviceReset(), 4u);
    EXPECT_EQ(resource.recreates, 1);
    EXPECT_EQ(resource.GetRefillFlag(), 1u);
    EXPECT_EQ(resource.GetResetStamp(), 4u);
    G()->Shutdown();
}

class TestWindow final : public RenderWindow {
public:
    TestWindow(RenderSystem* system, int& activations)
        : RenderWindow(system, MP_DEFAULT, nullptr), activations_(activations) {}
    bool ReleaseDeviceObjects() override { return true; }
    bool RecreateDeviceObjects() override { return true; }
    bool Resize(std::uint32_t, std::uint32_t) override { return true; }
    bool ResizeWindowedEx(std::uint32_t, std::uint32_t, bool, std::uint32_t) override {
        return true;
    }
    bool CreateSwapChain(void*, HWND, std::uint32_t, std::uint32_t, std::uint32_t) override {
        return true;
    }
    void Bind() override { ++activations_; }
    bool Present() override { return true; }
    bool ScreenShot() override { return true; }
    bool SaveBackBuffer(const char*) override { return true; }
    void SetSize(std::uint32_t, std::uint32_t) override {}
    bool CopyBackBufferTo(TextureBase*) override { return true; }

private:
    int& activations_;
};

TEST_F(RenderResourceTest, WindowStartsAt800By600AndLeavesItsSystemWhenDestroyed) {
    RenderSystem system;
    int activations = 0;
    auto* window = new TestWindow(&system, activations);
    EXPECT_EQ(window->GetWidth(), 800u);
    EXPECT_EQ(window->GetHeight(), 600u);
    EXPECT_STREQ(window->GetClassName(), "ZelRenderWindow");
    system.AddRenderWindow(window);
    window->Activate();
    EXPECT_EQ(system.GetActiveRenderWindow(), window);
    EXPECT_EQ(activations, 1);
    window->Destroy();
    EXPECT_TRUE(system.GetRenderWindows().empty());
    EXPECT_EQ(system.GetActiveRenderWindow(), nullptr);
}

TEST_F(RenderResourceTest, MemoryStatusIsInMegabytes) {
    MemoryStatus status;
    QueryMemoryStatus(status);
    EXPECT_GT(status.totalPhysicalMB, 0u);
    EXPECT_LE(status.availablePhysicalMB, status.totalPhysicalMB);
    EXPECT_EQ(status.totalVirtualMB, static_cast<std::uint32_t>((std::uint64_t(1) << 47) >> 20));
    EXPECT_LT(status.availableVirtualMB, status.totalVirtualMB);
}

class ProbeDeviceTest : public ZelTest::DeviceTest {};

TEST_F(ProbeDeviceTest, VideoMemoryComesFromTheDriverCapsAnd32MBWhenDirectDrawFails) {
    ASSERT_TRUE(Init(Settings()));
    const std::uint32_t textureMem = Device().GetAvailableTextureMem() << 20;
    ASSERT_GT(textureMem, 0u);
    constexpr std::uint32_t k32MB = 33554432u;
    struct Case {
        const char* what;
        void (*set)(SoftDirectDraw::Settings&);
        bool window, device;
        std::uint32_t total, free;
    };
    const Case cases[] = {
        {"the driver caps", [](SoftDirectDraw::Settings&) {}, true, true, 256u << 20, 240u << 20},
        {"the driver caps, no device needed", [](SoftDirectDraw::Settings&) {}, true, false,
         256u << 20, 240u << 20},
        {"no window", [](SoftDirectDraw::Settings&) {}, false, true, k32MB, k32MB},
        {"DirectDrawCreate fails", [](SoftDirectDraw::Settings& s) { s.createFails = true; }, true,
         true, k32MB, k32MB},
        {"SetCooperativeLevel fails",
         [](SoftDirectDraw::Settings& s) { s.cooperativeLevelFails = true; }, true, true, k32MB,
         k32MB},
        {"GetCaps fails", [](SoftDirectDraw::Settings& s) { s.capsFails = true; }, true, true,
         k32MB, k32MB},
        {"no total: the device's texture memory",
         [](SoftDirectDraw::Settings& s) { s.capsVidMemTotal = 0; }, true, true, textureMem,
         textureMem},
        {"no total and no device", [](SoftDirectDraw::Settings& s) { s.capsVidMemTotal = 0; }, true,
         false, k32MB, k32MB},
        // The other road (COM, local video memory) is not asked.
        {"COM road failing",
         [](SoftDirectDraw::Settings& s) {
             s.coCreateFails = true;
             s.localTotal = 1;
         },
         true, true, 256u << 20, 240u << 20},
    };
    for (const Case& c : cases) {
        SoftDirectDraw::Restore();
        c.set(SoftDirectDraw::Current());
        const void* window = c.window ? window_ : nullptr;
        RenderDevice* device = c.device ? &Device() : nullptr;
        EXPECT_EQ(QueryVideoMemory(VM_TOTAL, window, device), c.total) << c.what;
        EXPECT_EQ(QueryVideoMemory(VM_FREE, window, device), c.free) << c.what;
        // Every kind of a failed query answers 32 MB, the used amount too.
        EXPECT_EQ(QueryVideoMemory(VM_USED, window, device),
                  c.total == k32MB ? k32MB : c.total - c.free)
            << c.what;
        EXPECT_EQ(QueryVideoMemory(9, window, device), k32MB) << c.what;
    }
}

TEST_F(ProbeDeviceTest, ProfilerMarkerNamesAreCutTo127Characters) {
    ASSERT_TRUE(Init(Settings()));
    D3D9Module::ResetPerf();
    const std::string name(200, 'x');
    const std::string marker = "Build" + name;
    ProfileBeginEvent(&Device(), marker.c_str());
    ProfileEndEvent(&Device());
    const D3D9Module::PerfLog& perf = D3D9Module::Perf();
    EXPECT_EQ(perf.beginEvents, 1u);
    EXPECT_EQ(perf.endEvents, 1u);
    EXPECT_EQ(perf.lastColor, 0xFF00FF00u);
    EXPECT_EQ(perf.lastName, L"Build" + std::wstring(122, L'x'));
    // No device: nothing is called.
    ProfileBeginEvent(nullptr, "x");
    EXPECT_EQ(perf.beginEvents, 1u);
}

}  // namespace
