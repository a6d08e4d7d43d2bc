// The scene: nodes, entities, the spatial tree, cameras and lights, and the frame loop that culls
// and draws them. Globals builds the one instance with no arguments and destroys it after the two
// scene shutdown stages (Globals::ShutdownSceneGlobals, Globals::ShutdownPhysicsAndCaches).
#pragma once

#include <cstdint>
#include <string>

#include "Core/Object.h"

namespace Zel {

class RenderSystem;

class SceneManager : public Object {
public:
    SceneManager() = default;
    ~SceneManager() override = default;
    ZEL_CLASS_ID(SceneManager)

    // The number of the current frame, 0 before the first; resources keep it as the stamp of
    // their last re-creation. Host thread.
    std::uint32_t GetFrameId() const { return frameId_; }
    // Moves to the next frame id; the frame pipeline calls it once per frame.
    void AdvanceFrame() { ++frameId_; }

    // Whether shadows are drawn, and the shadow mode; entering fixed-function drawing asks for
    // mode 3. The shadow code gives them their meaning.
    bool AreShadowsActive() const { return shadowsActive_; }
    std::int32_t GetShadowMode() const { return shadowMode_; }
    void SetShadowMode(std::int32_t mode) { shadowMode_ = mode; }

    // Appends the vertex-buffer totals to the text (written to the log when video memory runs
    // out). The totals come with the buffer code; for now nothing is written.
    void WriteVertexBufferReport(std::string& /*out*/) const {}

    // The render system the scene draws with (not owned; null until one is set).
    RenderSystem* GetRenderSystem() const { return renderSystem_; }
    void SetRenderSystem(RenderSystem* renderSystem) { renderSystem_ = renderSystem; }
    // True while the scene draws through the fixed-function path: for now, while it has no
    // render system.
    bool IsDX7Mode() const { return renderSystem_ == nullptr; }

    // The current camera and scene time, which the shader constant filler reads: the view and
    // view-projection matrices (16 floats, row-major as handed to programs), the camera position
    // (3 floats) and the time in seconds. The frame sets them; identity and zero until then.
    void SetCurrentView(const float* view, const float* viewProjection, const float* camera) {
        for (int i = 0; i < 16; ++i) {
            view_[i] = view[i];
            viewProjection_[i] = viewProjection[i];
        }
        for (int i = 0; i < 3; ++i) camera_[i] = camera[i];
    }
    const float* GetViewMatrix() const { return view_; }
    const float* GetViewProjectionMatrix() const { return viewProjection_; }
    const float* GetCameraPosition() const { return camera_; }
    float GetTimeValue() const { return time_; }
    void SetTimeValue(float seconds) { time_ = seconds; }

private:
    float view_[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float viewProjection_[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float camera_[3] = {0.0f, 0.0f, 0.0f};
    float time_ = 0.0f;
    RenderSystem* renderSystem_ = nullptr;
    std::uint32_t frameId_ = 0;
    bool shadowsActive_ = false;
    std::int32_t shadowMode_ = 0;
};

}  // namespace Zel
