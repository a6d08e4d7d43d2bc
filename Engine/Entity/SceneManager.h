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

    // The render system the scene draws with (not owned; null until attached). Render targets
    // bind and clear through it.
    void SetRenderSystem(RenderSystem* renderSystem) { renderSystem_ = renderSystem; }
    RenderSystem* GetRenderSystem() const { return renderSystem_; }

private:
    RenderSystem* renderSystem_ = nullptr;
    std::uint32_t frameId_ = 0;
    bool shadowsActive_ = false;
    std::int32_t shadowMode_ = 0;
};

}  // namespace Zel
