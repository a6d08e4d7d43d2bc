// The level octree: a cube tree over the level's static triangles. The build moves each triangle
// into a child cube that holds all three corners while a cell holds more than 10 triangles and
// lies less than 10 levels below the root, then cuts each cell's triangles into one index run per
// mesh so that the level draws exactly the visible cells. The tree also lists the scene's movable
// nodes and answers ray queries against the level triangles.
//
// Threads: built once by the level's geometry load (loads run one at a time), used on the render
// thread afterwards.
#pragma once

#include <cstdint>
#include <vector>

#include "Entity/Scene/SpatialNode.h"
#include "Math/Ray.h"

namespace Zel {

class StaticGeometry;

// A triangle with its unit normal, as picking reports it.
struct Triangle {
    float p0[3] = {1.0f, 0.0f, 0.0f};
    float p1[3] = {0.0f, 1.0f, 0.0f};
    float p2[3] = {0.0f, 0.0f, 1.0f};
    float normal[3] = {0.0f, 0.0f, 0.0f};

    Triangle() { ComputeNormal(); }
    void Set(const float* a, const float* b, const float* c);
    // (p1 - p0) x (p2 - p0), normalised.
    void ComputeNormal();
    // True when the ray meets the front face (p0, p1, p2 counter-clockwise seen from the ray's
    // origin), writing the point; back faces and edge-on triangles miss. Bounds are inclusive.
    bool IntersectRay(const Ray& ray, float* outPoint) const;
};

// The triangle set a level octree is built over; nothing is owned.
struct OctreeData : SpatialNodeCreateInfo {
    std::uint32_t vertexCount = 0;
    std::uint32_t triangleCount = 0;
    const float* positions = nullptr;          // 3 per vertex
    const std::uint32_t* triangles = nullptr;  // 3 per triangle, numbered over the geometry
    const StaticGeometry* geometry = nullptr;  // maps triangles to meshes
};

class OctreeNode : public SpatialNode {
public:
    // A cell is split only when it holds more than kSplitThreshold triangles and lies less than
    // kDepthLimit levels below the root.
    static constexpr std::uint32_t kSplitThreshold = 10;
    static constexpr int kDepthLimit = 10;

    OctreeNode();
    ~OctreeNode() override = default;

    const AABB& GetBox() const override { return box_; }
    const AABB& GetContentBox() const override { return contentBox_; }
    // Builds the tree below this cell from an OctreeData; nothing when any of its fields is zero
    // or the info is of another kind.
    void Build(const SpatialNodeCreateInfo& info) override;
    // Boxes and index runs of every cell.
    void FinishBuild() override;
    // The nearest level triangle the ray meets from either side, with its normal, and the hit
    // point. False, with the outputs untouched, when nothing is hit.
    bool RayPick(const Ray& ray, Triangle& outTriangle, float* outPoint);

    void InitChild(OctreeNode* child, std::vector<std::uint32_t> triangles,
                   const float* parentCentre, float parentSize, int octant, std::uint32_t index);
    void InitRoot();
    static void ChildCentre(const float* centre, float size, int octant, float* out);
    void ComputeBoxes();

    float GetSize() const { return size_; }
    const float* GetCentre() const { return centre_; }
    // The triangles this cell holds itself (numbers over the whole geometry).
    const std::vector<std::uint32_t>& GetTriangles() const { return triangles_; }

private:
    void Split();
    void BuildIndexRuns();
    void CollectRayNodes(const Ray& ray, std::vector<OctreeNode*>& out);
    const float* Position(std::uint32_t vertex) const { return data_.positions + 3 * vertex; }

    float size_ = 1.0f;
    float centre_[3] = {0.0f, 0.0f, 0.0f};
    OctreeData data_;
    std::vector<std::uint32_t> triangles_;
    AABB box_;
    AABB contentBox_;
};

}  // namespace Zel
