#include "Physics/PhxScene.h"

#include <algorithm>

#include "Physics/PhxEntity.h"

namespace Zel {

PhxScene::PhxScene() = default;

PhxScene::~PhxScene() = default;

void PhxScene::ReleaseEntity(PhxEntity* entity) {
    auto it =
        std::find_if(entities_.begin(), entities_.end(),
                     [entity](const std::unique_ptr<PhxEntity>& e) { return e.get() == entity; });
    if (it != entities_.end()) {
        entities_.erase(it);
    }
}

PhxEntity* PhxScene::AddEntity(std::unique_ptr<PhxEntity> entity) {
    entities_.push_back(std::move(entity));
    return entities_.back().get();
}

}  // namespace Zel
