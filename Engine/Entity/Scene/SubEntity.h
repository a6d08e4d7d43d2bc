// The renderable of one mesh of an entity: it pairs the mesh with a material, knows its owner,
// chooses its render group and material when it queues itself, picks the level of detail and fills
// the render record for a pass. Pooled in its factory in Globals; the owner entity acquires and
// returns it. Host thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>

#include "Core/RecycledObject.h"
#include "Core/SharedPtr.h"
#include "Entity/Material/HeldMaterial.h"
#include "Entity/Material/ShaderParamTable.h"
#include "Entity/Scene/Renderable.h"
#include "Math/AABB.h"

namespace Zel {

class Entity;
class Light;
class Mesh;
class RenderQueue;
class TextureBase;

class SubEntity : public Renderable, public RecycledObject {
public:
    // Bit 1 of the transform flags: draw with the owner's render matrix.
    static constexpr std::uint32_t kUseOwnerTransform = 1;

    SubEntity();
    // Deletes a cloth mesh it owns and drops its material.
    ~SubEntity() override;

    // The held material's transparent variant of the transparency kind (0: the material).
    Material* GetMaterial() override;
    // Holds m (one reference) in place of the current material.
    void SetMaterial(Material* material) override;
    IndexData* GetIndexData() const override;
    VertexData* GetVertexData() const override;
    // The owner's render matrix, or identity without an owner or with the transform flag clear.
    const float* GetWorldMatrix() override;
    // The owner's box when so asked; else the mesh's box through the world matrix.
    const AABB& GetBoundingBox() override;
    const AABB& GetStoredBox() const override { return box_; }
    // The record filled for the material's first pass, with that pass's render state.
    RenderOperation* GetRenderOperation() override;
    std::uint32_t FillRenderOperation(Pass* pass, std::uint32_t group) override;
    std::uint32_t GetRenderMark() const override { return renderMark_; }
    void SetRenderMark(std::uint32_t value) override { renderMark_ = value; }
    std::uint32_t GetCounter() const override { return counter_; }
    void SetCounter(std::uint32_t value) override { counter_ = value; }
    bool IsOwnerMarked() const override;
    std::uint32_t GetUserWord() const override { return userWord_; }
    void SetUserWord(std::uint32_t value) override { userWord_ = value; }
    // 100 without a material, else the material's sort key.
    std::int32_t GetSortKey() const override;
    // 6 for a cloth mesh, else 2.
    std::uint32_t GetRenderKind() const override;

    virtual std::uint32_t GetZero() const { return 0; }
    // A new sub-entity from the factory holding this one's mesh, material, box and marks; with
    // attach it joins this owner's list.
    virtual SubEntity* Clone(bool attach);
    virtual void CopyTo(SubEntity* target, bool attach);
    // "g_ShiftColor" = (r, g, b, a) and "g_fShiftColRatio" = ratio.
    virtual void SetShiftColor(float r, float g, float b, float a, float ratio);

    // Files every pass of the material (its own when null) in the owner's group for an unlit
    // piece, or a lit one when a light is given and the material lights itself.
    void AddToRenderQueue(RenderQueue* queue, Light* light, Material* material);
    // Files the per-light passes of a per-light material under the light.
    void AddToRenderQueueForLight(RenderQueue* queue, Light* light, Material* material);
    // Index data with at least one index: only such pieces are queued.
    bool HasIndexData() const;
    // The owner's transparency alpha, 1 without an owner.
    float GetTransparencyAlpha() const;
    void CollectTextures(std::set<TextureBase*>& textures) const;
    // Passed on to a skin mesh.
    void SetSkinPaletteMode(bool on);

    Entity* GetOwner() const { return owner_; }
    void SetOwner(Entity* owner) { owner_ = owner; }
    Mesh* GetMesh() const { return mesh_; }
    // The mesh (owned only when it is a cloth mesh).
    void SetMesh(Mesh* mesh) { mesh_ = mesh; }
    // The material held, without the transparent variant.
    Material* GetOwnMaterial() const { return material_.Get(); }
    std::uint32_t GetOncePerFrameMark() const { return oncePerFrameMark_; }
    void SetOncePerFrameMark(std::uint32_t value) { oncePerFrameMark_ = value; }
    std::uint32_t GetTransparencyKind() const { return transparencyKind_; }
    void SetTransparencyKind(std::uint32_t kind) { transparencyKind_ = kind; }
    std::uint32_t GetTransformFlags() const { return transformFlags_; }
    void SetTransformFlags(std::uint32_t flags) { transformFlags_ = flags; }
    std::uint8_t GetTag() const { return tag_; }
    void SetTag(std::uint8_t tag) { tag_ = tag; }
    bool UsesOwnerBounds() const { return useOwnerBounds_ != 0; }
    void SetUseOwnerBounds(bool on) { useOwnerBounds_ = on ? 1 : 0; }
    float GetRenderOffset() const { return renderOffset_; }
    void SetRenderOffset(float offset) { renderOffset_ = offset; }
    ShaderParamTable& GetShaderParameters() { return parameters_; }
    // Asks the mesh to sort its triangles back to front for depth-sorted passes.
    bool IsSortRequested() const { return sortRequested_; }
    void SetSortRequested(bool on) { sortRequested_ = on; }

    // Back to the constructed state; the factory calls it on release.
    void Reset() override;

private:
    bool IsClothMesh() const;
    void ResetParameters();
    // Steps 1 and 2 of queueing: the material to queue with, or null.
    Material* ChooseMaterial(Material* material) const;
    // The render group drawn: the owner's explicit level, else its factor's share of the mesh's
    // groups, the last one at most; 0 for a mesh of one group or without an owner.
    std::size_t ChooseLevel() const;
    // The mesh's step before the pass draws it; a skin of a skeletal model is posed for it.
    void PrepareMeshForPass(Pass& pass, std::uint32_t vertexFlags, std::uint32_t level);

    float renderOffset_ = 0.0f;
    Entity* owner_ = nullptr;  // not owned
    Mesh* mesh_ = nullptr;     // owned only when it is a cloth mesh
    HeldMaterial material_;
    std::uint8_t useOwnerBounds_ = 0;
    AABB box_;
    std::uint32_t renderMark_ = 0;
    std::uint32_t oncePerFrameMark_ = 0;
    std::uint32_t counter_ = 0;
    std::uint32_t userWord_ = 0;
    std::uint32_t transparencyKind_ = 0;
    std::uint32_t transformFlags_ = kUseOwnerTransform;
    std::uint8_t tag_ = 1;
    bool sortRequested_ = false;
    ShaderParamTable parameters_;
};

}  // namespace Zel
