// A light that projects a texture into the scene through a view volume, like a slide projector
// (light kind 3). Its influence volume is that view volume instead of a sphere, so the spatial
// tree gathers what the volume holds; while it is the current light of a draw, the shader
// constants take the volume's view-projection as the light projection and bind its texture. The
// volume follows the node at every update; the embedded rotator lets the host aim it. Made, listed
// and deleted by the scene manager with the other lights. Host thread.
#pragma once

#include <string_view>

#include "Core/SharedPtr.h"
#include "Entity/Scene/Light.h"
#include "Entity/Scene/Rotator.h"
#include "Entity/Texture/TextureBase.h"
#include "Math/Frustum.h"

namespace Zel {

class ProjectingLight : public Light, public Frustum, public Rotator {
public:
    // Kind 3 (the kind the scene manager makes); the texture projected is the texture manager's
    // default texture (none without a texture manager).
    explicit ProjectingLight(std::int32_t kind = 3);
    ProjectingLight(std::string_view name, std::int32_t kind);
    ~ProjectingLight() override;

    // The entity update, then UpdateProjection.
    void Update(std::uint32_t* counter, float dt, std::uint32_t frameId) override;
    // The light copy, then this light's rotator axes into the target's (a projecting light).
    void CopyTo(SceneNode* target, bool withParent) override;
    // The view volume, not a sphere.
    const BoundingVolume& GetInfluenceVolume() override { return *this; }
    bool IsProjecting() const override { return true; }
    // projection x view of the volume.
    void ComputeProjectionMatrix(float out[16]) const override;
    TextureBase* GetProjectedTexture() const override { return texture_.Get(); }
    // Replaces the texture projected (one reference held; null projects nothing).
    void SetProjectedTexture(TextureBase* texture) { texture_.Assign(texture); }

    // Rebuilds the volume and its corners from the world position and orientation with the
    // scene's render system; nothing without one.
    void UpdateProjection();

    using Frustum::Update;
    using Light::GetDirection;

private:
    SharedPtr<TextureBase> texture_;
};

}  // namespace Zel
