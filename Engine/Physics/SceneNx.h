// The physics scene over one SDK scene. Without the SDK (runtime missing) it has no SDK scene:
// every operation is inert and no body is made.
#pragma once

#include "Physics/PhxScene.h"
#include "Platform/Physics/NxPhysics.h"

namespace Zel {

class SceneNx : public PhxScene {
public:
    ZEL_CLASS_ID(SceneNx)

    SceneNx() = default;
    ~SceneNx() override;

    bool Create() override;
    // Advances the simulation by seconds; the cloth start-up flag counts down meanwhile.
    void Step(float seconds) override;
    void UpdateEntities() override;
    void SetGravity(const float* gravity) override;
    PhxEntity* CreateEntity(const PhxBodyDesc* desc) override;
    void SetGroupCollision(std::int32_t group1, std::int32_t group2, bool collide) override;
    void DebugDraw() override;

    Nx::NxScene* GetNxScene() const { return nxScene_; }
    float GetClothCountdown() const { return clothCountdown_; }

private:
    Nx::NxScene* nxScene_ = nullptr;
    float clothCountdown_ = 1.0f;
};

}  // namespace Zel
