// The eye of a frame: a scene node with a view volume (its view and projection matrices, planes
// and corners) and a rotator that steers it. Cameras are made and deleted by the scene manager
// (SceneManager::CreateCamera, DestroyCamera), which lists them. Host thread.
#pragma once

#include "Entity/Scene/Rotator.h"
#include "Entity/Scene/SceneNode.h"
#include "Math/Frustum.h"

namespace Zel {

class Camera : public SceneNode, public Frustum, public Rotator {
public:
    Camera();
    ~Camera() override = default;
    ZEL_CLASS_ID(Camera)

    // The node's update, then UpdateView.
    void Update(std::uint32_t* counter, float dt, std::uint32_t frameId) override;
    // Hands the camera to SceneManager::DestroyCamera, which deletes it.
    void Destroy() override;
    // A new camera of the scene manager holding this one's transform and axis caches (the view
    // volume keeps its defaults).
    SceneNode* Clone(bool withParent) override;
    void CopyTo(SceneNode* target, bool withParent) override;

    // Rebuilds the view volume from the world position and orientation, with the scene's render
    // system building the matrices; nothing without a render system.
    void UpdateView();

    // A camera's direction is the rotator's forward axis (-Z), not the node's -Y.
    using Rotator::GetDirection;

    // The host's camera mode: kept for the host, read by nothing in the library.
    void SetMode(std::int32_t mode) { mode_ = mode; }
    std::int32_t GetMode() const { return mode_; }

private:
    std::int32_t mode_ = 0;
};

}  // namespace Zel
