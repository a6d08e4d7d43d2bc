#include "Physics/PhysicsWorld.h"

#include <algorithm>

#include "Physics/ClothNx.h"
#include "Physics/PhysicsLock.h"
#include "Physics/PhysicsSdk.h"
#include "Physics/SceneNx.h"

namespace Zel {

PhysicsWorld::~PhysicsWorld() {
    Clear();
}

PhxScene* PhysicsWorld::GetScene() {
    PhysicsLock lock(PhysicsMutex());
    if (current_ == nullptr) {
        current_ = CreateScene();
        current_->InitCollisionGroups();
    }
    return current_;
}

PhxScene* PhysicsWorld::CreateScene() {
    PhysicsLock lock(PhysicsMutex());
    auto scene = std::make_unique<SceneNx>();
    scene->Create();
    scene->SetWorld(this);
    scenes_.push_back(std::move(scene));
    return scenes_.back().get();
}

void PhysicsWorld::Clear() {
    PhysicsLock lock(PhysicsMutex());
    // Newest first; the list is empty before any scene is deleted.
    std::vector<std::unique_ptr<PhxScene>> doomed;
    doomed.swap(scenes_);
    current_ = nullptr;
    while (!doomed.empty()) {
        doomed.pop_back();
    }
}

void PhysicsWorld::Shutdown() {
    PhysicsLock lock(PhysicsMutex());
    Clear();
    ReleasePhysicsSDK();
    FreeCookScratch();
}

bool PhysicsWorld::RemoveScene(PhxScene* scene) {
    PhysicsLock lock(PhysicsMutex());
    auto it =
        std::find_if(scenes_.begin(), scenes_.end(),
                     [scene](const std::unique_ptr<PhxScene>& s) { return s.get() == scene; });
    if (it == scenes_.end()) {
        return false;
    }
    if (current_ == scene) {
        current_ = nullptr;
    }
    std::unique_ptr<PhxScene> doomed = std::move(*it);
    scenes_.erase(it);
    return true;
}

bool PhysicsWorld::IsEmpty() const {
    PhysicsLock lock(PhysicsMutex());
    return scenes_.empty();
}

PhxScene* PhysicsWorld::GetCurrentScene() const {
    PhysicsLock lock(PhysicsMutex());
    return current_;
}

}  // namespace Zel
