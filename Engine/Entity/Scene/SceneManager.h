// The scene: nodes, entities, the spatial tree, cameras and lights, and the frame loop that culls
// and draws them. Globals builds the one instance with no arguments and destroys it after the two
// scene shutdown stages (Globals::ShutdownSceneGlobals, Globals::ShutdownPhysicsAndCaches).
#pragma once

#include <cstdint>
#include <string>

#include "Core/Object.h"

namespace Zel {

class Camera;
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

    // --- Render system, drawing path and camera (stand-in: the render system and cameras join
    // the scene later).
    // The render system the scene draws with (not owned; null until one is set). Setting one
    // selects the shader path, clearing it the fixed-function path.
    RenderSystem* GetRenderSystem() const { return renderSystem_; }
    void SetRenderSystem(RenderSystem* renderSystem) {
        renderSystem_ = renderSystem;
        dx7Mode_ = renderSystem == nullptr;
    }
    // True when the device draws with its fixed-function stages (or no render system exists):
    // vertex colours are packed and vertex layouts are looked up exactly. Until the scene holds
    // its render system for good, whoever drives the device may set it; it starts true.
    bool IsDX7Mode() const { return dx7Mode_; }
    void SetDX7Mode(bool fixedFunction) { dx7Mode_ = fixedFunction; }
    // The current view and projection matrices (16 floats each, Matrix4 layout) and the current
    // camera (not owned; null when none).
    const float* GetViewMatrix() const { return view_; }
    const float* GetProjectionMatrix() const { return projection_; }
    Camera* GetCurrentCamera() const { return camera_; }
    void SetCamera(Camera* camera, const float* view, const float* projection) {
        camera_ = camera;
        for (int i = 0; i < 16; ++i) {
            view_[i] = view[i];
            projection_[i] = projection[i];
        }
    }

    // --- LOD mismatch (set by the model readers).
    // 1 once a LOD companion's index data did not match its base file; nothing reads it here.
    std::uint32_t GetLodMismatch() const { return lodMismatch_; }
    void SetLodMismatch(std::uint32_t flag) { lodMismatch_ = flag; }

    // The current camera and scene time, which the shader constant filler reads: the view and
    // view-projection matrices (16 floats, row-major as handed to programs), the camera position
    // (3 floats) and the time in seconds. The frame sets them; identity and zero until then.
    void SetCurrentView(const float* view, const float* viewProjection, const float* camera) {
        for (int i = 0; i < 16; ++i) {
            view_[i] = view[i];
            viewProjection_[i] = viewProjection[i];
        }
        for (int i = 0; i < 3; ++i) cameraPosition_[i] = camera[i];
    }
    const float* GetViewProjectionMatrix() const { return viewProjection_; }
    const float* GetCameraPosition() const { return cameraPosition_; }
    float GetTimeValue() const { return time_; }
    void SetTimeValue(float seconds) { time_ = seconds; }

private:
    std::uint32_t lodMismatch_ = 0;
    float viewProjection_[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float cameraPosition_[3] = {0.0f, 0.0f, 0.0f};
    float time_ = 0.0f;
    RenderSystem* renderSystem_ = nullptr;
    bool dx7Mode_ = true;
    Camera* camera_ = nullptr;
    float view_[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float projection_[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::uint32_t frameId_ = 0;
    bool shadowsActive_ = false;
    std::int32_t shadowMode_ = 0;
};

}  // namespace Zel
