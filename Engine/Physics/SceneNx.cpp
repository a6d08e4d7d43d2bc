#include "Physics/SceneNx.h"

#include <memory>

#include "Physics/ClothNx.h"
#include "Physics/EntityNx.h"
#include "Physics/PhysicsDebugRenderer.h"
#include "Physics/PhysicsLock.h"
#include "Physics/PhysicsSdk.h"

namespace Zel {

SceneNx::~SceneNx() {
    PhysicsLock lock(PhysicsMutex());
    // Bodies go while their SDK scene still exists.
    ReleaseAllEntities();
    if (nxScene_ != nullptr && GetPhysicsSDK() != nullptr) {
        GetPhysicsSDK()->releaseScene(*nxScene_);
    }
    nxScene_ = nullptr;
}

bool SceneNx::Create() {
    PhysicsLock lock(PhysicsMutex());
    Nx::NxPhysicsSDK* sdk = GetPhysicsSDK();
    if (sdk == nullptr || nxScene_ != nullptr) {
        return false;
    }
    Nx::NxSceneDesc desc;
    desc.gravity = Nx::NxVec3{GetGravity()[0], GetGravity()[1], GetGravity()[2]};
    nxScene_ = sdk->createScene(desc);
    if (nxScene_ == nullptr) {
        return false;
    }
    Nx::NxMaterialDesc material;
    material.dynamicFriction = 0.2f;
    material.staticFriction = 0.2f;
    material.restitution = 0.5f;
    material.dynamicFrictionV = 0.0f;
    material.staticFrictionV = 0.0f;
    material.dirOfAnisotropy = Nx::NxVec3{1, 0, 0};
    material.flags = 0;
    material.frictionCombineMode = 0;
    material.restitutionCombineMode = 0;
    nxScene_->getMaterialFromIndex(0)->loadFromDesc(material);
    return true;
}

void SceneNx::Step(float seconds) {
    PhysicsLock lock(PhysicsMutex());
    if (nxScene_ == nullptr) {
        return;
    }
    if (IsClothStartupFlagSet()) {
        clothCountdown_ -= seconds;
        if (clothCountdown_ <= 0.0f) {
            SetClothStartupFlag(false);
            clothCountdown_ = 1.0f;
        }
    }
    nxScene_->simulate(seconds);
    nxScene_->flushStream();
    nxScene_->fetchResults(1, true, nullptr);
}

void SceneNx::UpdateEntities() {
    PhysicsLock lock(PhysicsMutex());
    if (nxScene_ != nullptr) {
        PhxScene::UpdateEntities();
    }
}

void SceneNx::SetGravity(const float* gravity) {
    PhysicsLock lock(PhysicsMutex());
    PhxScene::SetGravity(gravity);
    if (nxScene_ != nullptr) {
        nxScene_->setGravity(Nx::NxVec3{gravity[0], gravity[1], gravity[2]});
    }
}

PhxEntity* SceneNx::CreateEntity(const PhxBodyDesc* desc) {
    PhysicsLock lock(PhysicsMutex());
    if (nxScene_ == nullptr || desc == nullptr) {
        return nullptr;
    }
    std::unique_ptr<PhxEntity> entity;
    if (desc->shapeKind == PHX_SHAPE_CLOTH || desc->shapeKind == PHX_SHAPE_CLOTH_ALT) {
        entity = std::make_unique<ClothNx>(this);
    } else {
        entity = std::make_unique<EntityNx>(this);
    }
    if (!entity->Create(desc)) {
        return nullptr;
    }
    return AddEntity(std::move(entity));
}

void SceneNx::SetGroupCollision(std::int32_t group1, std::int32_t group2, bool collide) {
    PhysicsLock lock(PhysicsMutex());
    if (nxScene_ != nullptr && group1 >= 0 && group2 >= 0) {
        nxScene_->setGroupCollisionFlag(static_cast<Nx::NxU32>(group1),
                                        static_cast<Nx::NxU32>(group2), collide);
    }
}

void SceneNx::DebugDraw() {
    PhysicsLock lock(PhysicsMutex());
    if (nxScene_ == nullptr) {
        return;
    }
    if (const Nx::NxDebugRenderable* renderable = nxScene_->getDebugRenderable()) {
        PhysicsDebugRenderer::Render(*renderable);
    }
    PhxScene::DebugDraw();
}

}  // namespace Zel
