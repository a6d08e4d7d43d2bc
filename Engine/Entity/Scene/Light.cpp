#include "Entity/Scene/Light.h"
#include "Math/MathUtil.h"

#include <algorithm>

#include "Core/Globals.h"
#include "Entity/Scene/SceneManager.h"

namespace Zel {
namespace {

// Process-wide, as node light masks are: every light of every scene draws from it.
std::uint64_t NextLightBit() {
    static LightBitCounter counter;
    return counter.Next();
}

constexpr std::uint32_t kLightNodeState = 128;

}  // namespace

Light::Light(std::int32_t kind) : kind_(kind), lightBit_(NextLightBit()) {
    sphere_.SetCenter(SceneNode::GetWorldPosition());
    sphere_.SetRadius(range_);
    SetStateBits(NODE_VISIBLE | kLightNodeState);
}

Light::Light(std::string_view name, std::int32_t kind)
    : Entity(name), kind_(kind), lightBit_(NextLightBit()) {
    sphere_.SetCenter(SceneNode::GetWorldPosition());
    sphere_.SetRadius(range_);
    SetStateBits(NODE_VISIBLE | kLightNodeState);
}

void Light::Destroy() {
    if (SceneManager* scene = Globals::Find(&Globals::GetSceneManager))
        scene->DestroyLight(this);
}

SceneNode* Light::Clone(bool withParent) {
    std::string name;
    MakeCloneName(name);
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    Light* light = scene ? scene->CreateLight(name, kind_) : nullptr;
    if (light)
        CopyTo(light, withParent);
    return light;
}

void Light::CopyTo(SceneNode* target, bool withParent) {
    Entity::CopyTo(target, withParent);
    auto* light = dynamic_cast<Light*>(target);
    if (!light || light == this)
        return;
    light->range_ = range_;
    light->kind_ = kind_;
    light->sphere_ = sphere_;
    light->lightBit_ = lightBit_;
}

const BoundingVolume& Light::GetInfluenceVolume() {
    sphere_.SetCenter(SceneNode::GetWorldPosition());
    sphere_.SetRadius(range_);
    return sphere_;
}

std::int32_t Light::GetHostKind() const {
    if (kind_ == 0 || kind_ == 1)
        return kind_;
    return kind_ >= 2 && kind_ <= 4 ? 2 : 0;
}

void Light::SetColours(const float ambient[4], const float diffuse[4], const float specular[4]) {
    SetAmbient(ambient);
    SetDiffuse(diffuse);
    SetSpecular(specular);
}

void Light::SetAmbient(const float* rgba) {
    std::copy(rgba, rgba + 4, ambient_);
}

void Light::SetDiffuse(const float* rgba) {
    std::copy(rgba, rgba + 4, diffuse_);
}

void Light::SetSpecular(const float* rgba) {
    std::copy(rgba, rgba + 4, specular_);
}

void Light::SetRangeAndScale(float range) {
    range_ = range;
    const float scale[3] = {range, range, range};
    SetScale(scale);
}

const float* Light::GetWorldPosition() const {
    // Bringing the world transform up to date changes no visible state of the light.
    return const_cast<Light*>(this)->SceneNode::GetWorldPosition();
}

const float* Light::GetDirection() const {
    return const_cast<Light*>(this)->SceneNode::GetDirection();
}

void Light::ComputeProjectionMatrix(float out[16]) const {
    std::copy(kIdentityMatrix, kIdentityMatrix + 16, out);
}

}  // namespace Zel
