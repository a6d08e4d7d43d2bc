// The scene's device check over a real device: a lost device disables rendering, goes through
// its lost and reset steps in a bounded number of passes, and the next frame resumes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Entity/Scene/SceneManager.h"
#include "Render/RenderSystem.h"
#include "support/LogCapture.h"
#include "tests/Render/d3d9/DeviceFixture.h"

namespace {

using namespace Zel;

// Each wait of the check is recorded; a test may have the device moved on at the first wait.
std::vector<std::uint32_t> g_waits;
SoftDevice9* g_device = nullptr;
bool g_moveOnFirstWait = false;
HRESULT g_afterFirstWait = D3D_OK;

void RecordWait(std::uint32_t milliseconds) {
    if (g_moveOnFirstWait && g_device) {
        g_device->SetCooperativeLevelResult(g_afterFirstWait);
        g_moveOnFirstWait = false;
    }
    g_waits.push_back(milliseconds);
}

class DeviceCheckTest : public ZelTest::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        Config().SetValue(62, 0);  // a plain device, whose reset can fail
        MakeDevice();
        ASSERT_FALSE(Device().IsEx());
        renderSystem_.SetRenderDevice(&Device());
        renderSystem_.SetDisplaySettings(Settings());
        Scene().SetRenderSystem(&renderSystem_);
        Scene().SetDeviceWait(&RecordWait);
        g_waits.clear();
        g_device = Soft();
        g_moveOnFirstWait = false;
    }
    void TearDown() override {
        Scene().SetRenderSystem(nullptr);
        renderSystem_.SetRenderDevice(nullptr);
        g_device = nullptr;
        DeviceTest::TearDown();
    }
    SceneManager& Scene() { return *G()->GetSceneManager(); }
    RenderSystem renderSystem_;
};

TEST_F(DeviceCheckTest, AUsableDeviceKeepsRenderingWithoutWaiting) {
    Scene().CheckDevice();
    EXPECT_TRUE(Scene().IsRenderingEnabled());
    EXPECT_TRUE(g_waits.empty());
}

TEST_F(DeviceCheckTest, ALostDeviceGoesThroughLostAndResetInBoundedPasses) {
    ZelTest::LogCapture log;
    Soft()->SetCooperativeLevelResult(D3DERR_DEVICELOST);
    g_afterFirstWait = D3DERR_DEVICENOTRESET;
    g_moveOnFirstWait = true;
    Scene().CheckDevice();
    EXPECT_LE(g_waits.size(), 3u);
    EXPECT_EQ(log.Count("Now The Device STate= Lost"), 1);
    EXPECT_EQ(log.Count("Now The Device STate= DEVICE_NotReset"), 1);
    EXPECT_FALSE(renderSystem_.IsDeviceLost());
    EXPECT_EQ(Device().GetDeviceState(), 0u);
    EXPECT_TRUE(Scene().IsRenderingEnabled());
}

TEST_F(DeviceCheckTest, ADeviceThatStaysLostReturnsWithRenderingDisabledAndResumesLater) {
    Soft()->SetCooperativeLevelResult(D3DERR_DEVICELOST);
    Scene().CheckDevice();
    EXPECT_EQ(g_waits.size(), 3u);  // the host's thread is not held for ever
    EXPECT_FALSE(Scene().IsRenderingEnabled());
    EXPECT_TRUE(renderSystem_.IsDeviceLost());
    // The lost step ran once, not at every pass.
    Soft()->SetCooperativeLevelResult(D3DERR_DEVICENOTRESET);
    g_waits.clear();
    Scene().CheckDevice();
    EXPECT_TRUE(Scene().IsRenderingEnabled());
    EXPECT_FALSE(renderSystem_.IsDeviceLost());
}

TEST_F(DeviceCheckTest, AFailedResetIsReportedOnceAndTheCheckReturns) {
    // A DEFAULT-pool buffer still alive makes a plain reset fail.
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(
        Device().GetD3DDevice()->CreateVertexBuffer(64, 0, 0, D3DPOOL_DEFAULT, &buffer, nullptr),
        D3D_OK);
    renderSystem_.OnLostDevice();
    Soft()->SetCooperativeLevelResult(D3DERR_DEVICENOTRESET);
    Scene().CheckDevice();
    const std::string text = LogText();
    const auto first = text.find("Reset Device Failed! thread=");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(text.find("Reset Device Failed!", first + 1), std::string::npos);
    EXPECT_FALSE(Scene().IsRenderingEnabled());
    buffer->Release();
    // The next frame's check resets the device and rendering resumes.
    Scene().CheckDevice();
    EXPECT_TRUE(Scene().IsRenderingEnabled());
}

TEST_F(DeviceCheckTest, ProfilerMarkersAreOpaqueWhiteAndCut) {
    D3D9Module::ResetPerf();
    Scene().ProfileSetMarker(std::string(200, 'm').c_str());
    const D3D9Module::PerfLog& perf = D3D9Module::Perf();
    EXPECT_EQ(perf.markers, 1u);
    EXPECT_EQ(perf.lastColor, 0xFFFFFFFFu);
    EXPECT_EQ(perf.lastName, std::wstring(127, L'm'));
}

}  // namespace
