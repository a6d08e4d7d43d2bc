// The shadow-map shadow (shadow kind 0, shadow qualities 1 and 2). Each frame it draws the
// casters queued in render group 2 from a light camera looking along the shadow direction into a
// square colour target ("ShadowMap", white where nothing casts) with its own depth target
// ("ShadowMapDepth"), builds the light's texture matrix, hands map and matrix to the generated
// receiver material and has the receiving surfaces (groups 3 and 4) drawn with it. The map's
// side follows the video memory: 128 below 32 MB, 256 below 64 MB, else 512.
//
// Made once by Shadow::Init and deleted by Shadow::Shutdown; the targets stay in the texture
// manager's pool. Host thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "Core/SharedPtr.h"
#include "Entity/Texture/HeldRenderTarget.h"
#include "Entity/Scene/Shadow.h"

namespace Zel {

class AABB;
class Entity;
class RenderTarget;

class ProjectiveShadow : public Shadow {
public:
    // Takes a free pooled colour target and depth target of the map's size from the texture
    // manager, or makes them; without a texture manager or device there is no map and Render
    // draws nothing.
    ProjectiveShadow();
    ~ProjectiveShadow() override;

    // Generated material 0 for kind 0, 1 for kind 1, null for any other kind.
    Material* GetCasterMaterial(std::uint32_t kind) override;
    // Draws the map and the receivers once per CollectCasters (see the header comment); skips
    // to forgetting the caster source when no caster was collected.
    void Render(Level* level) override;
    std::int32_t GetKind() const override { return SHADOW_KIND_MAP; }

    // The light camera around the casters' world boxes (levels skipped), grown by 1.1, looking
    // along the shadow direction with a 25 degree view from far enough to hold them: view and
    // projection (16 floats each), eye, target, up (3 floats each), the grown box and the
    // distance from eye to the box's centre. False, with the outputs untouched but the box made
    // empty, when no caster has a box.
    bool ComputeShadowView(float* view, float* projection, float* eye, float* target, float* up,
                           AABB& casterBox, const std::vector<Entity*>& casters,
                           float* distance) const;

    // The map's side in texels for the video memory (bytes).
    static std::uint32_t MapSizeForVideoMemory(std::uint64_t bytes);

    RenderTarget* GetShadowMap() const { return shadowMap_.Get(); }
    RenderTarget* GetShadowMapDepth() const { return shadowMapDepth_.Get(); }
    RenderTarget* GetBlurTarget() const { return blurTarget_.Get(); }
    // The light view and projection of the last drawn frame and the matrix handed to the
    // receiver (16 floats each).
    const float* GetLightView() const { return lightView_; }
    const float* GetLightProjection() const { return lightProjection_; }
    const float* GetLightTextureMatrix() const { return lightTextureMatrix_; }

private:
    // Quality 2: one horizontal-vertical pass of the screen blur's 5x5 Gaussian over the map,
    // through a pooled scratch target of the map's size taken on first use.
    void BlurShadowMap();

    HeldRenderTarget shadowMap_;
    HeldRenderTarget blurTarget_;
    HeldRenderTarget shadowMapDepth_;
    std::uint32_t mapSize_ = 0;
    float lightView_[16] = {};
    float lightProjection_[16] = {};
    float lightTextureMatrix_[16] = {};
};

}  // namespace Zel
