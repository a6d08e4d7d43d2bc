#include "Entity/Scene/Camera.h"

#include "Core/Globals.h"
#include "Entity/Scene/SceneManager.h"

namespace Zel {
namespace {
SceneManager* CameraScene() {
    return Globals::Find(&Globals::GetSceneManager);
}
}  // namespace

Camera::Camera() : Rotator(this) {}

void Camera::Update(std::uint32_t* counter, float dt, std::uint32_t frameId) {
    SceneNode::Update(counter, dt, frameId);
    UpdateView();
}

void Camera::Destroy() {
    if (SceneManager* scene = CameraScene())
        scene->DestroyCamera(this);
}

SceneNode* Camera::Clone(bool withParent) {
    SceneManager* scene = CameraScene();
    Camera* camera = scene ? scene->CreateCamera() : nullptr;
    if (camera)
        CopyTo(camera, withParent);
    return camera;
}

void Camera::CopyTo(SceneNode* target, bool withParent) {
    SceneNode::CopyTo(target, withParent);
    if (target && target->GetClassId() == ClassId::Camera)
        CopyAxesTo(*static_cast<Camera*>(target));
}

void Camera::UpdateView() {
    SceneManager* scene = CameraScene();
    const RenderSystem* renderSystem = scene ? scene->GetRenderSystem() : nullptr;
    if (!renderSystem)
        return;
    const float* position = GetWorldPosition();
    const float* orientation = GetWorldOrientation();
    Frustum::Update(position, orientation, renderSystem);
    ComputeCorners(position, orientation);
}

}  // namespace Zel
