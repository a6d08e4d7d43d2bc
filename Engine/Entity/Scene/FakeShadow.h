// The blob shadow (shadow kind 1, shadow quality 3, and the shadow of the fixed-function path):
// every visible casting entity gets one unit quad on the ground plane z = 0 under the centre of
// its bounds, drawn in render group 2 with the material "FakeShadow" (from
// "../resources/media/shaders/FakeShadow.xml", else the default material) in the colour
// 1 - shadow colour. The quads are FakeShadowInstance pieces taken from the shadow's own pool for
// one frame; all of them draw the one vertex and index block the shadow owns.
//
// Made once by Shadow::Init and deleted by Shadow::Shutdown. Host thread only (the pool takes its
// own lock).
#pragma once

#include <cstdint>

#include "Core/Factory.h"
#include "Core/SharedPtr.h"
#include "Entity/Material/HeldMaterial.h"
#include "Entity/Scene/Shadow.h"
#include "Entity/Scene/SubEntity.h"

namespace Zel {

class FakeShadow;

// One blob for one frame: a piece that draws its owner shadow's quad with its own world matrix.
class FakeShadowInstance : public SubEntity {
public:
    FakeShadowInstance();
    ~FakeShadowInstance() override = default;

    IndexData* GetIndexData() const override;
    VertexData* GetVertexData() const override;
    const float* GetWorldMatrix() override { return world_; }
    // The unit quad's box through the world matrix.
    const AABB& GetBoundingBox() override;
    // A pass drawn once per frame draws the blob only the first time; answers 1 (one draw) or 0.
    std::uint32_t FillRenderOperation(Pass* pass, std::uint32_t group) override;
    // Matrix back to identity, frame guard cleared, then the piece's own reset.
    void Reset() override;

    void SetShadow(FakeShadow* shadow) { shadow_ = shadow; }
    FakeShadow* GetShadow() const { return shadow_; }
    float* GetWorldMatrixData() { return world_; }

private:
    float world_[16];
    AABB box_;
    std::uint32_t frameGuard_ = 0;
    FakeShadow* shadow_ = nullptr;  // not owned
};

class FakeShadow : public Shadow {
public:
    FakeShadow();
    // Gives every blob still out back to the pool and the material back to its manager.
    ~FakeShadow() override;

    // The blob material, whatever the kind.
    Material* GetCasterMaterial(std::uint32_t kind) override;
    // Draws group 2 through the scene's caster pass, forgets the caster source and gives every
    // blob of the frame back to the pool. The level is not used.
    void Render(Level* level) override;
    std::int32_t GetKind() const override { return SHADOW_KIND_FAKE; }

    // A blob from the pool, owned by this shadow, holding the blob material; back to the pool at
    // the next Render.
    FakeShadowInstance* CreateInstance();

    VertexData* GetVertexData() const { return vertexData_; }
    IndexData* GetIndexData() const { return indexData_; }
    // Blobs handed out and not yet given back.
    std::int32_t GetInstancesOut() { return instances_.GetPool().GetInUseCount(); }

private:
    void ReleaseInstances();

    HeldMaterial material_;
    bool ownMaterial_ = false;  // the library's material, removed from its manager with us
    VertexData* vertexData_ = nullptr;
    IndexData* indexData_ = nullptr;
    Factory<FakeShadowInstance> instances_;
};

}  // namespace Zel
