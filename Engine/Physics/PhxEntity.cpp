#include "Physics/PhxEntity.h"

#include <algorithm>
#include <unordered_set>

#include "Math/MathUtil.h"
#include "Physics/PhxScene.h"
#include "Physics/PhysicsLock.h"

namespace Zel {

namespace {

// Bodies that exist now. Holders such as bone-bound shapes keep raw body pointers and may release
// them after physics shutdown has deleted every body; such a release must find nothing.
std::unordered_set<const PhxEntity*>& LiveEntities() {
    static std::unordered_set<const PhxEntity*> live;
    return live;
}

PhxBodyDesc InitialDesc() {
    PhxBodyDesc desc = {};
    std::fill(desc.dimensions, desc.dimensions + 4, 1.0f);
    desc.scalar = 1.0f;
    std::copy(IdentityMatrix(), IdentityMatrix() + 16, desc.pose);
    desc.shapeKind = 0;
    desc.extra = nullptr;
    return desc;
}

}  // namespace

std::recursive_mutex& PhysicsMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

PhxEntity::PhxEntity(PhxScene* scene) : PhxEntity(scene, InitialDesc()) {}

PhxEntity::PhxEntity(PhxScene* scene, const PhxBodyDesc& desc) : scene_(scene), desc_(desc) {
    std::copy(IdentityMatrix(), IdentityMatrix() + 16, pose_);
    PhysicsLock lock(PhysicsMutex());
    LiveEntities().insert(this);
}

PhxEntity::~PhxEntity() {
    PhysicsLock lock(PhysicsMutex());
    LiveEntities().erase(this);
}

bool PhxEntity::IsLive(const PhxEntity* entity) {
    PhysicsLock lock(PhysicsMutex());
    return LiveEntities().count(entity) != 0;
}

void PhxEntity::Release() {
    scene_->ReleaseEntity(this);
}

void PhxEntity::ReleaseIfLive(PhxEntity* entity) {
    PhysicsLock lock(PhysicsMutex());
    // Only the address is compared until the body is known to exist.
    if (IsLive(entity)) {
        entity->Release();
    }
}

bool PhxEntity::Create(const PhxBodyDesc* desc) {
    if (desc != nullptr) {
        desc_ = *desc;
    }
    return false;
}

void PhxEntity::SetPosition(const float* position) {
    StorePosition(position);
}

void PhxEntity::SetPose(const float* pose) {
    StorePose(pose);
}

void PhxEntity::SetGravityEnabled(bool enable) {
    SetFlag(FLAG_NO_GRAVITY, !enable);
}

void PhxEntity::StorePose(const float* pose) {
    std::copy(pose, pose + 16, pose_);
}

void PhxEntity::StorePosition(const float* position) {
    std::copy(position, position + 3, position_);
}

PhxEntity* PhxEntity::Clone() {
    PhysicsLock lock(PhysicsMutex());
    PhxEntity* copy = scene_->CreateEntity(&desc_);
    if (copy == nullptr) {
        return nullptr;
    }
    copy->SetGravityEnabled(IsGravityEnabled());
    copy->SetKinematic(IsKinematic());
    copy->SetMass(mass_);
    copy->SetGroup(group_);
    return copy;
}

}  // namespace Zel
