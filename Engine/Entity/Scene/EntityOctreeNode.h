// The picking octree of one entity: a loose octree over the triangles of the entity's own
// sub-entities, in the entity's local space. Each child box is half again as large as a regular
// octant, so a triangle near a split plane still fits a child. Triangles of skinned meshes are
// read from a private copy of the skinned positions, refreshed before each pick, and never leave
// the root. Built by Entity::BuildPickOctree on the first pick that reaches the entity and kept
// with it; it answers the nearest triangle a ray meets and whether a selection reaches any
// triangle.
//
// The tree reads the meshes' own index arrays and positions without owning them: it must be
// dropped (Entity::ReleasePickOctree) when the entity's meshes change. Host thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Entity/Scene/OctreeNode.h"

namespace Zel {

class BoundingVolume;
class Entity;
class Mesh;
class SelectFrustum;
class Skin;

class EntityOctreeNode : public OctreeNode {
public:
    // A node holding more triangles than this is split ...
    static constexpr std::uint32_t kPickSplitThreshold = 50;
    // ... unless it lies this deep (name length kPickDepthLimit + 1): triangles that keep
    // fitting one shrinking box (degenerate ones at one point) would split without end.
    static constexpr int kPickDepthLimit = 10;

    // The triangles of one sub-entity's mesh: three 32-bit indices per triangle from the mesh's
    // own index array and three floats per vertex.
    class MeshTriangleBuffer {
    public:
        virtual ~MeshTriangleBuffer() = default;
        // Writes the corners of triangle i into the first nine floats of out (not the normal).
        // i must be below GetTriangleCount().
        virtual void GetTriangle(std::uint32_t i, Triangle& out) const;
        // 0 static, 1 skinned.
        virtual std::uint32_t GetKind() const = 0;
        // Refreshes the positions; answers whether they changed.
        virtual bool Update() = 0;

        // The mesh's index count (bounded by its index array) over three.
        std::uint32_t GetTriangleCount() const { return triangleCount_; }
        // Whether all three indices of triangle i name a vertex; the build lists only those.
        bool IsValid(std::uint32_t i) const;

    protected:
        // The mesh's index array and triangle count, for positions of vertexCount vertices.
        void TakeIndices(const Mesh& mesh, std::uint32_t vertexCount);

        const std::uint32_t* indices_ = nullptr;  // the mesh's; not owned
        const float* positions_ = nullptr;        // 3 per vertex
        std::uint32_t triangleCount_ = 0;
        std::uint32_t vertexCount_ = 0;
    };

    // Reads the mesh's POSITION component in place; a null mesh, or one without three-float
    // positions or indices, has no triangles.
    class StaticMeshTriangleBuffer : public MeshTriangleBuffer {
    public:
        explicit StaticMeshTriangleBuffer(const Mesh* mesh);
        std::uint32_t GetKind() const override { return 0; }
        bool Update() override { return false; }
    };

    // Keeps its own skinned positions, posed with the entity's bone states on each Update.
    class SkeletonMeshTriangleBuffer : public MeshTriangleBuffer {
    public:
        // Starts from the bind positions.
        SkeletonMeshTriangleBuffer(Skin& mesh, const Entity& entity);
        std::uint32_t GetKind() const override { return 1; }
        // Poses every vertex with the entity's bone states (identity final matrix); false,
        // keeping the positions, when the entity has no bone states.
        bool Update() override;

    private:
        Skin& mesh_;
        const Entity& entity_;
        std::vector<float> own_;
    };

    // One listed triangle: its buffer (= sub-entity index) and its number there.
    struct Entry {
        std::uint32_t buffer;
        std::uint32_t triangle;
    };

    EntityOctreeNode();
    // The root frees the buffers; each node its list; the base deletes the children.
    ~EntityOctreeNode() override;

    const AABB& GetBox() const override { return box_; }
    // A picking tree is built from its entity only.
    void Build(const SpatialNodeCreateInfo&) override {}
    void FinishBuild() override {}

    // Fills a new root from the entity's sub-entities (the root keeps the entity's local box)
    // and splits recursively.
    void Build(Entity* entity);
    // Updates every buffer; when any changed, the root box follows the entity's box again.
    void RefreshSkinned();
    // The nearest triangle the ray (local space, unit direction) meets on its front face, with
    // its normal, and the hit point; each triangle hit is also drawn in red through the scene's
    // render system. False, outputs untouched, when nothing is hit.
    bool RayPick(const Ray& ray, Triangle& outTriangle, float* outPoint);
    // 0 when the volume wholly holds the box of a node it reaches, 1 when it misses this box,
    // else 2, with every node the volume reaches marked for TestMarkedTriangles.
    int Classify(const BoundingVolume& volume);
    // 0 as soon as a marked node's triangle reaches the selection, else 1.
    int TestMarkedTriangles(SelectFrustum& selection);
    // Whether the selection (in this entity's local space) reaches any triangle.
    bool IntersectsSelection(SelectFrustum& selection);

    const std::vector<Entry>& GetEntries() const { return entries_; }
    const std::vector<MeshTriangleBuffer*>& GetBuffers() const { return buffers_; }
    // Build calls made in this process (a statistic).
    static std::uint64_t GetBuiltNodeCount();

private:
    void UpdateRootBox();
    void Split();
    void CollectPickNodes(const Ray& ray, std::vector<EntityOctreeNode*>& out);
    EntityOctreeNode* Child(std::uint32_t i) const {
        return static_cast<EntityOctreeNode*>(GetChild(i));
    }

    std::vector<Entry> entries_;
    std::vector<MeshTriangleBuffer*> buffers_;  // owned by the root
    std::vector<std::unique_ptr<MeshTriangleBuffer>> ownedBuffers_;
    Entity* entity_ = nullptr;  // not owned
    AABB box_;
};

}  // namespace Zel
