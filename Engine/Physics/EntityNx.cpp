#include "Physics/EntityNx.h"

#include "Physics/PhysicsLock.h"
#include "Physics/SceneNx.h"

namespace Zel {

Nx::NxMat34 ToNxPose(const float* m) {
    Nx::NxMat34 pose;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            pose.m[r][c] = m[4 * r + c];
        }
    }
    pose.t = Nx::NxVec3{m[3], m[7], m[11]};
    return pose;
}

EntityNx::EntityNx(SceneNx* scene) : PhxEntity(scene), sceneNx_(scene) {}

EntityNx::~EntityNx() {
    PhysicsLock lock(PhysicsMutex());
    if (actor_ != nullptr && sceneNx_->GetNxScene() != nullptr) {
        sceneNx_->GetNxScene()->releaseActor(*actor_);
    }
    actor_ = nullptr;
}

bool EntityNx::Create(const PhxBodyDesc* desc) {
    PhysicsLock lock(PhysicsMutex());
    Nx::NxScene* scene = sceneNx_->GetNxScene();
    if (desc == nullptr || scene == nullptr || actor_ != nullptr) {
        return false;
    }
    SetDesc(*desc);
    Nx::NxActorDesc actor;
    actor.globalPose = ToNxPose(desc->pose);
    Nx::NxBodyDesc body;
    Nx::NxShapeDesc shape;
    const float* w = desc->dimensions;
    switch (desc->shapeKind) {
        case PHX_SHAPE_BOX:
            shape.type = Nx::NX_SHAPE_BOX;
            shape.dimensions = Nx::NxVec3{w[0], w[1], w[2]};
            break;
        case PHX_SHAPE_SPHERE:
            shape.type = Nx::NX_SHAPE_SPHERE;
            shape.radius = w[0];
            break;
        case PHX_SHAPE_CAPSULE:
            shape.type = Nx::NX_SHAPE_CAPSULE;
            shape.radius = w[0];
            shape.height = w[1];
            break;
        case PHX_SHAPE_PLANE:
            shape.type = Nx::NX_SHAPE_PLANE;
            shape.normal = Nx::NxVec3{w[0], w[1], w[2]};
            shape.d = w[3];
            break;
        default:
            return false;
    }
    if (desc->shapeKind == PHX_SHAPE_PLANE) {
        actor.density = 0.0f;
    } else {
        actor.body = &body;
        actor.density = 1.0f;
    }
    actor.shapes.push_back(shape);
    actor_ = scene->createActor(actor);
    return actor_ != nullptr;
}

void EntityNx::SetPosition(const float* position) {
    PhysicsLock lock(PhysicsMutex());
    StorePosition(position);
    if (actor_ != nullptr) {
        actor_->setGlobalPosition(Nx::NxVec3{position[0], position[1], position[2]});
    }
}

void EntityNx::SetPose(const float* pose) {
    PhysicsLock lock(PhysicsMutex());
    StorePose(pose);
    if (actor_ != nullptr) {
        actor_->setGlobalPose(ToNxPose(pose));
    }
}

void EntityNx::SetGravityEnabled(bool enable) {
    PhysicsLock lock(PhysicsMutex());
    PhxEntity::SetGravityEnabled(enable);
    if (actor_ != nullptr) {
        if (enable) {
            actor_->clearBodyFlag(Nx::NX_BF_DISABLE_GRAVITY);
        } else {
            actor_->raiseBodyFlag(Nx::NX_BF_DISABLE_GRAVITY);
        }
    }
}

void EntityNx::SetGroup(std::int32_t group) {
    PhysicsLock lock(PhysicsMutex());
    PhxEntity::SetGroup(group);
    if (actor_ != nullptr && group >= 0) {
        for (Nx::NxU32 i = 0; i < actor_->getNbShapes(); ++i) {
            actor_->getShapes()[i]->setGroup(static_cast<Nx::NxU32>(group));
        }
    }
}

void EntityNx::SetMass(float mass) {
    PhysicsLock lock(PhysicsMutex());
    PhxEntity::SetMass(mass);
    if (actor_ != nullptr) {
        actor_->setMass(mass);
    }
}

void EntityNx::SyncFromSimulation() {
    PhysicsLock lock(PhysicsMutex());
    if (actor_ != nullptr) {
        const Nx::NxMat34 pose = actor_->getGlobalPose();
        const Nx::NxVec3 position = actor_->getGlobalPosition();
        float m[16];
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                m[4 * r + c] = pose.m[r][c];
            }
        }
        m[3] = pose.t.x;
        m[7] = pose.t.y;
        m[11] = pose.t.z;
        m[12] = m[13] = m[14] = 0.0f;
        m[15] = 1.0f;
        StorePose(m);
        const float p[3] = {position.x, position.y, position.z};
        StorePosition(p);
    }
    SetSyncPending(false);
}

void EntityNx::SetKinematic(bool kinematic) {
    PhysicsLock lock(PhysicsMutex());
    PhxEntity::SetKinematic(kinematic);
    if (actor_ != nullptr) {
        if (kinematic) {
            actor_->raiseBodyFlag(Nx::NX_BF_KINEMATIC);
        } else {
            actor_->clearBodyFlag(Nx::NX_BF_KINEMATIC);
        }
    }
}

void EntityNx::SetSleeping(bool sleeping) {
    PhysicsLock lock(PhysicsMutex());
    SleepOrWake(actor_, sleeping);
    PhxEntity::SetSleeping(sleeping);
}

bool EntityNx::IsSleeping() const {
    PhysicsLock lock(PhysicsMutex());
    return actor_ != nullptr && actor_->isSleeping();
}

}  // namespace Zel
