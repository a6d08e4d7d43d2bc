#include "Physics/PhxEntity.h"

#include "Physics/PhxScene.h"

namespace Zel {

PhxEntity::PhxEntity(PhxScene* scene, const PhxBodyDesc& desc) : scene_(scene), desc_(desc) {}

PhxEntity::~PhxEntity() = default;

PhxEntity* PhxEntity::Clone() {
    return scene_->CreateEntity(&desc_);
}

void PhxEntity::Release() {
    scene_->ReleaseEntity(this);
}

}  // namespace Zel
