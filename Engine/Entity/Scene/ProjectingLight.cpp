#include "Entity/Scene/ProjectingLight.h"

#include "Core/Globals.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureManager.h"

namespace Zel {
namespace {

TextureBase* DefaultProjectedTexture() {
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    return textures ? textures->GetDefaultTexture() : nullptr;
}

}  // namespace

ProjectingLight::ProjectingLight(std::int32_t kind)
    : Light(kind), Rotator(this), texture_(DefaultProjectedTexture()) {}

ProjectingLight::ProjectingLight(std::string_view name, std::int32_t kind)
    : Light(name, kind), Rotator(this), texture_(DefaultProjectedTexture()) {}

ProjectingLight::~ProjectingLight() = default;

void ProjectingLight::Update(std::uint32_t* counter, float dt, std::uint32_t frameId) {
    Light::Update(counter, dt, frameId);
    UpdateProjection();
}

void ProjectingLight::CopyTo(SceneNode* target, bool withParent) {
    Light::CopyTo(target, withParent);
    auto* other = dynamic_cast<ProjectingLight*>(target);
    if (other && other != this)
        CopyAxesTo(*other);
}

void ProjectingLight::ComputeProjectionMatrix(float out[16]) const {
    GetViewProjection(out);
}

void ProjectingLight::UpdateProjection() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    const RenderSystem* renderSystem = scene ? scene->GetRenderSystem() : nullptr;
    if (!renderSystem)
        return;
    const float* position = SceneNode::GetWorldPosition();
    const float* orientation = GetWorldOrientation();
    Frustum::Update(position, orientation, renderSystem);
    ComputeCorners(position, orientation);
}

}  // namespace Zel
