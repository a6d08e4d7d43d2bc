// A decal: a texture projected onto the static models under an oriented box. Building it cuts,
// out of the receivers' triangles that lie in the box, a new mesh in the box's own frame (decal
// space: x along the box's second axis, y along the projection direction, z along the third
// axis, origin at the centre), gives every vertex a texture coordinate from its place in the box,
// and from then on draws that mesh as one renderable in the per-light entity group. The decal is
// both the scene object and the piece the render queue draws; it has no sub-entities.
//
// Pooled in its factory in Globals: SceneManager::CreateDecalEx takes one and builds it; Reset
// (the factory's return) frees what was built. Host thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Core/SharedPtr.h"
#include "Entity/Material/HeldMaterial.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/Renderable.h"
#include "Math/AABB.h"
#include "Math/OBB.h"

namespace Zel {

class Material;
class StreamIndexData;
class StreamVertexData;
class VertexBufferByFormat;

// The receivers of a decal and how it treats them, as the host describes them.
struct DecalSource {
    Entity* mainReceiver = nullptr;  // not owned; may be null
    std::vector<Entity*> receivers;  // the further receivers; not owned
    bool acceptBlended = false;      // project onto receivers whose material blends
    bool acceptAlphaTested = false;  // ... or alpha-tests
    bool twoSided = false;           // project onto faces turned either way
};

// One clip plane of the decal box: a point p is inside when sign x (p[axis] - distance) > 0.
struct DecalClipPlane {
    float distance;
    float sign;
    std::uint32_t axis;  // 0 x, 1 y, 2 z
};

class Decal : public Entity, public Renderable {
public:
    // Vertices closer than this to the receiver are lifted towards the projector (decal-space y).
    static constexpr float kDepthOffset = -0.025f;
    // A device without 32-bit indices draws at most this many vertices per decal.
    static constexpr std::uint32_t kMax16BitVertices = 65535;

    Decal();
    // Frees the built data and releases the material.
    ~Decal() override;
    ZEL_CLASS_ID(Decal)

    // Builds the decal: receivers from source, the box from direction (projection, the box's
    // first axis), up (made perpendicular: the second axis), centre and extents (half sizes along
    // decal x, y, z), the texture rectangle uvFrom to uvTo (2 floats each) spread over the box's
    // x and z. material is held (one reference). True when a mesh was built; false (logged when
    // the device cannot take its indices) leaves the decal empty. A second build replaces the
    // first.
    bool Build(const DecalSource& source, const float* direction, const float* up,
               const float* centre, const float* extents, Material* material, const float* uvFrom,
               const float* uvTo);
    // Holds material in place of the current one; the record's program follows it.
    void SetMaterial(Material* material) override;
    bool IsEmpty() const { return empty_; }
    const OBB& GetVolume() const { return volume_; }
    // The world box the receivers are searched in.
    const AABB& GetVolumeBox() const { return volumeBox_; }
    // The node box minus the centre.
    const AABB& GetLocalBox() const { return localBox_; }
    // The built vertices (GetBuiltVertexCount of them, kVertexFloats floats each: decal-space
    // position, then texture coordinates u, v) and indices; none while empty.
    static constexpr std::uint32_t kVertexFloats = 5;
    const float* GetBuiltVertices() const;
    std::uint32_t GetBuiltVertexCount() const { return vertexCount_; }
    std::vector<std::uint32_t> GetBuiltIndices() const;
    // The six planes of the box of half extents e, in the order +x, -x, +y, -y, +z, -z bounds.
    static void BuildClipPlanes(const float* e, DecalClipPlane* out);

    // ---- Entity ----
    std::uint32_t GetEntityKind() const override { return 15; }
    std::uint32_t GetSubEntityCounterSum() const override { return 0; }
    void SetMaterialAll(Material* material) override { SetMaterial(material); }
    // Queues the decal in the per-light entity group for the light while it is built: with the
    // material's per-light technique when it is lit per light, else its unlit one.
    void AddSubEntitiesForLight(RenderQueue* queue, Light* light, Material* material) override;
    // Frees the built data, releases the material, then the entity reset.
    void Reset() override;

    // ---- Renderable ----
    // The decal's material, else the material manager's default one.
    Material* GetMaterial() override;
    // The material the decal was given and holds; null while it has none.
    Material* GetHeldMaterial() const { return material_.Get(); }
    IndexData* GetIndexData() const override;
    VertexData* GetVertexData() const override;
    // The node's matrix: decal space to world.
    const float* GetWorldMatrix() override { return SceneNode::GetWorldMatrix(); }
    using SceneNode::GetBoundingBox;
    const AABB& GetBoundingBox() override { return SceneNode::GetBoundingBox(); }
    const AABB& GetStoredBox() const override { return SceneNode::GetBoundingBox(); }
    // 1 while the decal is built and its record holds a program, else 0.
    std::uint32_t FillRenderOperation(Pass* pass, std::uint32_t group) override;
    std::uint32_t GetRenderMark() const override { return 0; }
    void SetRenderMark(std::uint32_t) override {}
    std::uint32_t GetCounter() const override { return 0; }
    void SetCounter(std::uint32_t) override {}
    bool IsOwnerMarked() const override { return false; }
    std::uint32_t GetUserWord() const override { return 0; }
    void SetUserWord(std::uint32_t) override {}
    std::int32_t GetSortKey() const override { return 0; }
    std::uint32_t GetRenderKind() const override { return 2; }

private:
    class Builder;

    void FreeBuilt();

    OBB volume_;
    AABB localBox_;
    AABB volumeBox_;
    std::unique_ptr<StreamVertexData> vertexData_;
    std::unique_ptr<StreamIndexData> indexData_;
    // Presents the streamed buffer to the draw path as the layout's buffer.
    std::unique_ptr<VertexBufferByFormat> binding_;
    bool empty_ = true;
    HeldMaterial material_;
    std::uint32_t vertexCount_ = 0;
};

}  // namespace Zel
