#include "Entity/Scene/DeformedModel.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "Core/Globals.h"
#include "Entity/Character/DeformedSkeletonModel.h"
#include "Entity/Geometry/DeformedMesh.h"
#include "Entity/Geometry/GeometryDeformed.h"
#include "Entity/Scene/SceneManager.h"

namespace Zel {

DeformedModel::DeformedModel() {
    SetFlags(GetFlags() | kPlaying);
}

GeometryDeformed* DeformedModel::GetDeformedGeometry() const {
    return dynamic_cast<GeometryDeformed*>(GetGeometry());
}

void DeformedModel::Reset() {
    if (DeformedSkeletonModel* carrier = std::exchange(carrier_, nullptr))
        carrier->ForgetMorpher(this);
    time_ = 0.0f;
    keyIndex_ = 0;
    Entity::Reset();
    SetFlags(GetFlags() | kPlaying);
}

void DeformedModel::SetTime(float t) {
    const GeometryDeformed* geometry = GetDeformedGeometry();
    if (!geometry)
        return;
    const float length = geometry->GetMorphValue();
    if (t > length && length > 0.0f)
        t -= std::floor(t / length) * length;
    SetFlags(GetFlags() | kPlaying);
    time_ = t;
    keyIndex_ = 0;
}

void DeformedModel::Update(std::uint32_t* counter, float dt, std::uint32_t frameId) {
    if (!(dt > 0.0f))
        dt = 0.0f;
    time_ += dt;
    const GeometryDeformed* geometry = GetDeformedGeometry();
    if (geometry && time_ > geometry->GetMorphValue()) {
        if (geometry->GetMorphFlag()) {
            keyIndex_ = 0;
            time_ = 0.0f;
        } else {
            SetFlags(GetFlags() & ~kPlaying);
            time_ = geometry->GetMorphValue();
        }
    }
    if (IsPlaying() && geometry && geometry->GetMorphTargetCount() > 0) {
        const auto& keys = geometry->GetMorphTarget(0)->GetKeys();
        while (keyIndex_ + 1 < keys.size() && keys[keyIndex_ + 1]->time < time_) ++keyIndex_;
    }
    Entity::Update(counter, dt, frameId);
}

SceneNode* DeformedModel::Clone(bool withParent) {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (!scene)
        return nullptr;
    std::string name;
    MakeCloneName(name);
    DeformedModel* model = scene->CreateDeformedModel(name);
    if (model)
        CopyTo(model, withParent);
    return model;
}

void DeformedModel::CopyTo(SceneNode* target, bool withParent) {
    Entity::CopyTo(target, withParent);
    if (auto* model = dynamic_cast<DeformedModel*>(target); model && model != this) {
        model->time_ = time_;
        model->keyIndex_ = keyIndex_;
    }
}

bool DeformedModel::BuildFromGeometry() {
    const GeometryDeformed* geometry = GetDeformedGeometry();
    if (!geometry || !geometry->IsLoadSucceeded())
        return false;
    // The key meshes belong to the geometry too; only the targets are drawn.
    std::vector<Mesh*> meshes;
    for (std::uint32_t i = 0; i < geometry->GetMorphTargetCount(); ++i)
        meshes.push_back(geometry->GetMorphTarget(i));
    AddSubEntities(meshes);
    SetAnimationFlags(GetAnimationFlags() | ENTITY_BUILT);
    return true;
}

}  // namespace Zel
