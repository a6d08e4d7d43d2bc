// The scene's own frame: cull, camera matrices, queue filling and the group draws in their fixed
// order. Host thread only.
#include <algorithm>

#include "Core/FrameStats.h"
#include "Core/Globals.h"
#include "Core/SectionGuard.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/Light.h"
#include "Entity/Scene/RenderQueue.h"
#include "Entity/Scene/SceneManager.h"
#include "Math/Sphere.h"
#include "Render/RenderSystem.h"

namespace Zel {

namespace {

// The light node's state bit that says the light is switched on.
constexpr std::uint32_t kLightSwitchedOn = 128;

enum RenderGroupFlagBits : std::uint32_t {
    DRAW_LEVEL_GROUPS = 1,   // lit 10 and 6, blended 12
    DRAW_ENTITY_GROUPS = 2,  // lit 11 and 7, blended 13
    DRAW_UNLIT_GROUPS = 4,   // 8 and 9
};

}  // namespace

void SceneManager::RenderScene() {
    if (!renderingEnabled_)
        return;
    ++frameId_;
    if (runMode_ == 1)
        return;
    DrawAxes();
    if (renderCamera_)
        SetCamera(renderCamera_);
    renderQueue_->ClearAll();
    if (mainCamera_)
        SetupCameraMatrices(mainCamera_);
    UpdateVisibleNodes(renderQueue_.get());
    if (renderSystem_) {
        static constexpr float kYellow[4] = {1, 1, 0, 1};
        if (renderCamera_) {
            renderCamera_->ComputeCorners(renderCamera_->GetWorldPosition(),
                                          renderCamera_->GetWorldOrientation());
            renderSystem_->DrawDebugBox(renderCamera_->GetCorners(), kYellow);
        }
        renderSystem_->ApplyFog();
    }
    RenderQueue& queue = *renderQueue_;
    if (renderGroupFlags_ & DRAW_UNLIT_GROUPS)
        DrawUnlitGroups(queue);
    if (renderGroupFlags_ & DRAW_LEVEL_GROUPS)
        DrawLevelLitGroups(queue);
    if (renderGroupFlags_ & DRAW_ENTITY_GROUPS)
        DrawEntityLitGroups(queue);
    if (renderGroupFlags_ & DRAW_LEVEL_GROUPS)
        DrawLevelTransparentGroup(queue);
    if (renderGroupFlags_ & DRAW_ENTITY_GROUPS)
        DrawEntityTransparentGroup(queue);
    if (renderSystem_)
        renderSystem_->DisableFog();
    frameTimer_.Tick();
    UpdateFrameRate();
    frameTimer_.Tick();
    lastFrameRateUpdateMs_ = frameTimer_.GetDelta() * 1000.0f;
}

void SceneManager::UpdateSceneGraph() {
    if (!root_)
        return;
    FrameStats* stats = Globals::Find(&Globals::GetFrameStats);
    std::uint32_t spare = 0;
    root_->Update(stats ? &(*stats)[FRAME_NODE_UPDATES] : &spare, updateTimeStep_, frameId_);
}

std::uint32_t SceneManager::QueryLightsInFrustum(const Frustum& frustum, Light** out,
                                                 std::uint32_t capacity) {
    if (!out)
        return 0;
    std::fill(out, out + capacity, nullptr);
    std::uint32_t found = 0;
    SectionGuard guard(lightLock_);
    for (Light* light : lights_) {
        if (found == capacity)
            break;
        if (light && frustum.Intersect(Sphere(light->GetWorldPosition(), light->GetRange())) !=
                         INTERSECT_DISJOINT)
            out[found++] = light;
    }
    return found;
}

void SceneManager::SetCamera(Camera* camera) {
    if (!camera)
        return;
    if (level_) {
        level_->SetStateBits(NODE_VISIBLE);
        level_->Cull(camera);
    }
    UpdateLightVisibility(camera);
}

void SceneManager::SetupCameraMatrices(Camera* camera) {
    if (!camera || !renderSystem_)
        return;
    viewStack_.Set(camera->GetViewMatrix()->m);
    projectionStack_.Set(camera->GetProjectionMatrix()->m);
    UpdateViewProjection();
}

void SceneManager::UpdateVisibleNodes(RenderQueue* queue) {
    if (!level_ || !level_->GetGeometry())
        return;
    level_->PrepareCameraRuns();
    for (Light* light : lights_)
        if (light && (light->GetState() & NODE_VISIBLE))
            level_->CullForLight(light, queue);
}

void SceneManager::UpdateLightVisibility(Camera* camera) {
    if (!camera)
        return;
    for (Light* light : lights_) {
        if (!light)
            continue;
        bool visible = false;
        if (light->GetState() & kLightSwitchedOn) {
            visible = true;
            if (light->GetKind() != 0) {
                const Sphere reach(light->GetWorldPosition(), light->GetRange());
                visible = camera->Intersect(reach) != INTERSECT_DISJOINT;
            }
        }
        if (visible)
            light->SetStateBits(NODE_VISIBLE);
        else
            light->ClearStateBits(NODE_VISIBLE);
    }
}

void SceneManager::DrawAxes() {
    if (!renderSystem_)
        return;
    static constexpr float kOrigin[3] = {0, 0, 0};
    static constexpr float kEnds[3][3] = {{2000, 0, 0}, {0, 2000, 0}, {0, 0, 2000}};
    static constexpr float kColours[3][4] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
    for (int axis = 0; axis < 3; ++axis)
        renderSystem_->DrawWireFrame(kOrigin, kEnds[axis], kColours[axis]);
}

}  // namespace Zel
