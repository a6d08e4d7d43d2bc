#include "Physics/PhxScene.h"

#include <algorithm>

#include "Physics/PhxEntity.h"
#include "Physics/PhysicsLock.h"
#include "Physics/PhysicsWorld.h"

namespace Zel {

PhxScene::PhxScene() = default;

PhxScene::~PhxScene() {
    ReleaseAllEntities();
}

void PhxScene::Release() {
    PhysicsLock lock(PhysicsMutex());
    if (world_ == nullptr || !world_->RemoveScene(this)) {
        delete this;
    }
}

void PhxScene::UpdateEntities() {
    PhysicsLock lock(PhysicsMutex());
    for (const auto& e : entities_) {
        e->SyncFromSimulation();
    }
}

void PhxScene::SetGravity(const float* gravity) {
    PhysicsLock lock(PhysicsMutex());
    std::copy(gravity, gravity + 3, gravity_);
}

void PhxScene::ReleaseEntity(PhxEntity* entity) {
    PhysicsLock lock(PhysicsMutex());
    // The body leaves the list before it is deleted (still under the lock).
    std::unique_ptr<PhxEntity> doomed;
    auto it =
        std::find_if(entities_.begin(), entities_.end(),
                     [entity](const std::unique_ptr<PhxEntity>& e) { return e.get() == entity; });
    if (it != entities_.end()) {
        doomed = std::move(*it);
        entities_.erase(it);
    }
}

void PhxScene::DebugDraw() {
    PhysicsLock lock(PhysicsMutex());
    for (const auto& e : entities_) {
        e->DebugDraw();
    }
}

void PhxScene::InitCollisionGroups() {
    for (std::int32_t i = 0; i < kGroupCount; ++i) {
        SetGroupCollision(i, i, true);
        for (std::int32_t j = i + 1; j < kGroupCount; ++j) {
            SetGroupCollision(i, j, false);
        }
    }
}

void PhxScene::ReleaseAllEntities() {
    PhysicsLock lock(PhysicsMutex());
    // Last made, first gone; the list is empty before any body is deleted.
    std::vector<std::unique_ptr<PhxEntity>> doomed;
    doomed.swap(entities_);
    while (!doomed.empty()) {
        doomed.pop_back();
    }
}

std::size_t PhxScene::GetEntityCount() const {
    PhysicsLock lock(PhysicsMutex());
    return entities_.size();
}

PhxEntity* PhxScene::GetEntity(std::size_t index) const {
    PhysicsLock lock(PhysicsMutex());
    return index < entities_.size() ? entities_[index].get() : nullptr;
}

PhxEntity* PhxScene::AddEntity(std::unique_ptr<PhxEntity> entity) {
    PhysicsLock lock(PhysicsMutex());
    entities_.push_back(std::move(entity));
    return entities_.back().get();
}

}  // namespace Zel
