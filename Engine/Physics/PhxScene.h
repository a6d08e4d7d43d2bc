// A physics scene: it creates bodies and owns them until they are released or the scene goes.
// The physics binding derives its scene from this class and makes the bodies; this base keeps the
// body list, the gravity and the collision-group set-up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "Core/Object.h"
#include "Physics/PhxBodyDesc.h"

namespace Zel {

class PhxEntity;
class PhysicsWorld;

class PhxScene : public Object {
public:
    ZEL_CLASS_ID(PhxScene)

    // Collision groups 0..30.
    static constexpr std::int32_t kGroupCount = 31;

    PhxScene();
    // Deletes every body still in the list.
    ~PhxScene() override;

    // Makes the simulation side; false when there is none (every operation is then inert).
    virtual bool Create() { return false; }
    // Leaves its physics world (no longer its current scene) and deletes this scene.
    virtual void Release();
    virtual void Step(float /*seconds*/) {}
    // Every body's SyncFromSimulation, in creation order.
    virtual void UpdateEntities();
    // Three floats; (0, 0, -30) on a new scene (+Z is up).
    virtual void SetGravity(const float* gravity);
    const float* GetGravity() const { return gravity_; }
    // A new body built from desc (not kept), owned by this scene; null when none can be made.
    virtual PhxEntity* CreateEntity(const PhxBodyDesc* desc) = 0;
    virtual void SetGroupCollision(std::int32_t /*group1*/, std::int32_t /*group2*/,
                                   bool /*collide*/) {}
    // Unlinks the body from the list and deletes it; a body that is not in the list (null,
    // another scene's, already released) is left alone.
    virtual void ReleaseEntity(PhxEntity* entity);
    // Every body's DebugDraw, in creation order.
    virtual void DebugDraw();
    // Each of groups 0..30 collides with itself only.
    virtual void InitCollisionGroups();
    virtual void ReleaseAllEntities();

    std::size_t GetEntityCount() const;
    PhxEntity* GetEntity(std::size_t index) const;

    // The world whose list holds this scene (set by PhysicsWorld), or null.
    void SetWorld(PhysicsWorld* world) { world_ = world; }

protected:
    // Takes ownership of a newly made body and answers it.
    PhxEntity* AddEntity(std::unique_ptr<PhxEntity> entity);

private:
    std::vector<std::unique_ptr<PhxEntity>> entities_;
    float gravity_[3] = {0.0f, 0.0f, -30.0f};
    PhysicsWorld* world_ = nullptr;
};

}  // namespace Zel
