// A physics world drawn on the software device: the device sits in a render system that the scene
// manager knows, in a window large enough to look at, and records the device's state at each
// user-pointer draw. A camera of the scene manager looks at the origin from above and aside
// (the world is z-up).
#pragma once

#include <vector>

#include "Entity/Scene/Camera.h"
#include "Entity/Scene/SceneManager.h"
#include "PhysicsFixture.h"
#include "Render/RenderSystem.h"
#include "Render/d3d9/RenderStateCache.h"
#include "tests/Render/d3d9/DeviceFixture.h"

namespace ZelTest {

// What the device held when a draw reached it.
struct RecordedDraw {
    bool indexed = false;
    std::uint32_t primitive = 0;
    std::uint32_t count = 0;
    DWORD fvf = 0;
    DWORD lighting = 0;
    DWORD cull = 0;
    DWORD fill = 0;
    bool lightingFlag = false;
    bool shaders = false;  // either shader bound
    bool texture = false;  // stage 0
    float world[16] = {};
    float view[16] = {};
    float projection[16] = {};
};

class RecordingDevice : public Zel::RenderDeviceD3D9 {
public:
    void DrawPrimitiveUP(std::uint32_t primitive, std::uint32_t count, const void* vertices,
                         std::uint32_t stride) override {
        Record(false, primitive, count);
        RenderDeviceD3D9::DrawPrimitiveUP(primitive, count, vertices, stride);
    }
    void DrawIndexedPrimitiveUP(std::uint32_t primitive, std::uint32_t minIndex,
                                std::uint32_t vertexCount, std::uint32_t count, const void* indices,
                                std::uint32_t indexSize, const void* vertices,
                                std::uint32_t stride) override {
        Record(true, primitive, count);
        RenderDeviceD3D9::DrawIndexedPrimitiveUP(primitive, minIndex, vertexCount, count, indices,
                                                 indexSize, vertices, stride);
    }

    std::vector<RecordedDraw> draws;

private:
    void Record(bool indexed, std::uint32_t primitive, std::uint32_t count) {
        const SoftDeviceState& s = SoftDevice9::From(GetD3DDevice())->State();
        RecordedDraw d;
        d.indexed = indexed;
        d.primitive = primitive;
        d.count = count;
        d.fvf = s.fvf;
        d.lighting = s.renderStates[D3DRS_LIGHTING];
        d.cull = s.renderStates[D3DRS_CULLMODE];
        d.fill = s.renderStates[D3DRS_FILLMODE];
        d.lightingFlag = IsLightingEnabled();
        d.shaders = s.vertexShader.Get() != nullptr || s.pixelShader.Get() != nullptr;
        d.texture = s.textures[0].Get() != nullptr;
        GetWorldMatrix(d.world);
        GetViewMatrix(d.view);
        GetProjectionMatrix(d.projection);
        draws.push_back(d);
    }
};

class PhysicsDeviceTest : public PhysicsTestOn<DeviceTest> {
protected:
    static constexpr UINT kFrameWidth = 320;
    static constexpr UINT kFrameHeight = 240;

    void SetUp() override {
        PhysicsTestOn<DeviceTest>::SetUp();
        DestroyWindow(window_);
        window_ = Win32Window::Create(kFrameWidth, kFrameHeight);
        ASSERT_NE(window_, nullptr);
        Zel::DisplaySettings settings = Settings();
        settings.width = kFrameWidth;
        settings.height = kFrameHeight;
        auto device = std::make_unique<RecordingDevice>();
        recorder_ = device.get();
        device_ = std::move(device);
        ASSERT_TRUE(device_->Init(settings));
        device_->ReportCaps(*G()->GetDeviceCaps(), settings);

        system_.SetRenderDevice(device_.get());
        Scene()->SetRenderSystem(&system_);
        camera_ = Scene()->CreateCamera();
        const float eye[3] = {3.0f, -3.2f, 2.4f}, target[3] = {0.6f, 0.0f, 0.3f}, up[3] = {0, 0, 1};
        camera_->LookAt(eye, target, up);
        camera_->SetFOV(45.0f);
        camera_->SetAspectRatio(float(kFrameWidth) / kFrameHeight);
        camera_->Update(nullptr, 0.0f, 1);
        Scene()->SetRenderCamera(camera_);
    }
    void TearDown() override {
        Scene()->SetRenderCamera(nullptr);
        Scene()->SetRenderSystem(nullptr);
        system_.SetRenderDevice(nullptr);
        PhysicsTestOn<DeviceTest>::TearDown();
    }

    Zel::SceneManager* Scene() { return G()->GetSceneManager(); }
    Zel::RenderStateCache& Cache() { return Device().GetStateCache(); }

    Zel::RenderSystem system_;
    RecordingDevice* recorder_ = nullptr;
    Zel::Camera* camera_ = nullptr;
};

}  // namespace ZelTest
