// A rigid body over one SDK actor with one shape: a dynamic box, sphere or capsule, or a static
// plane.
#pragma once

#include "Physics/PhxEntity.h"
#include "Platform/Physics/NxPhysics.h"

namespace Zel {

class SceneNx;

class EntityNx : public PhxEntity {
public:
    ZEL_CLASS_ID(EntityNx)

    explicit EntityNx(SceneNx* scene);
    ~EntityNx() override;

    bool Create(const PhxBodyDesc* desc) override;
    void SetPosition(const float* position) override;
    void SetPose(const float* pose) override;
    void SetGravityEnabled(bool enable) override;
    void SetGroup(std::int32_t group) override;
    void SetMass(float mass) override;
    void SyncFromSimulation() override;
    void SetKinematic(bool kinematic) override;
    void SetSleeping(bool sleeping) override;
    bool IsSleeping() const override;

    Nx::NxActor* GetActor() const { return actor_; }

private:
    SceneNx* sceneNx_;
    Nx::NxActor* actor_ = nullptr;
};

// Puts an SDK actor or cloth to rest, or wakes it for 0.4 s of its wake counter; nothing without
// one.
template <class Body>
void SleepOrWake(Body* body, bool sleeping) {
    if (body == nullptr) {
        return;
    }
    if (sleeping) {
        body->putToSleep();
    } else {
        body->wakeUp(0.4f);
    }
}

// The SDK's pose from a row-major matrix (rotation rows 0-2, 4-6, 8-10; translation 3, 7, 11).
Nx::NxMat34 ToNxPose(const float* m);

}  // namespace Zel
