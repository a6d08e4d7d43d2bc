#include "Entity/Scene/OctreeNode.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "Entity/Geometry/StaticGeometry.h"
#include "Math/MathUtil.h"
#include "Math/RSqrtTable.h"

namespace Zel {

namespace {

// Child centre = centre + size/4 x signs[octant].
constexpr float kOctantSigns[8][3] = {{-1, 1, 1},  {-1, 1, -1},  {1, 1, -1},  {1, 1, 1},
                                      {-1, -1, 1}, {-1, -1, -1}, {1, -1, -1}, {1, -1, 1}};

void Minus(const float* a, const float* b, float* out) {
    out[0] = a[0] - b[0];
    out[1] = a[1] - b[1];
    out[2] = a[2] - b[2];
}

float SquaredDistanceTo(const float* a, const float* b) {
    float d[3];
    Minus(a, b, d);
    return Dot3(d, d);
}

void CopyCorners(Triangle& triangle, const float* a, const float* b, const float* c) {
    std::copy(a, a + 3, triangle.p0);
    std::copy(b, b + 3, triangle.p1);
    std::copy(c, c + 3, triangle.p2);
}

}  // namespace

void Triangle::Set(const float* a, const float* b, const float* c) {
    CopyCorners(*this, a, b, c);
    ComputeNormal();
}

void Triangle::ComputeNormal() {
    float e1[3], e2[3];
    Minus(p1, p0, e1);
    Minus(p2, p0, e2);
    Cross3(e1, e2, normal);
    const float scale = FastRSqrt(Dot3(normal, normal));
    for (float& c : normal) c *= scale;
}

bool Triangle::IntersectRay(const Ray& ray, float* outPoint) const {
    float e1[3], e2[3], h[3], s[3], q[3];
    Minus(p1, p0, e1);
    Minus(p2, p0, e2);
    Cross3(ray.direction, e2, h);
    const float det = Dot3(e1, h);
    if (det <= 0.00001f)
        return false;
    Minus(ray.origin, p0, s);
    const float u = Dot3(s, h);
    if (u < 0.0f || u > det)
        return false;
    Cross3(s, e1, q);
    const float v = Dot3(ray.direction, q);
    if (v < 0.0f || u + v > det)
        return false;
    if (Dot3(e2, q) / det < 0.0f)
        return false;
    if (outPoint) {
        const float uu = u / det, vv = v / det, w = 1.0f - uu - vv;
        for (int i = 0; i < 3; ++i) outPoint[i] = p0[i] * w + p1[i] * uu + p2[i] * vv;
    }
    return true;
}

OctreeNode::OctreeNode() {
    // The default boxes stay marked empty until the build sets them.
    box_.SetEmpty();
    contentBox_.SetEmpty();
}

void OctreeNode::Build(const SpatialNodeCreateInfo& info) {
    const auto* data = dynamic_cast<const OctreeData*>(&info);
    if (!data || !data->vertexCount || !data->triangleCount || !data->positions ||
        !data->triangles || !data->geometry)
        return;
    data_.vertexCount = data->vertexCount;
    data_.triangleCount = data->triangleCount;
    data_.positions = data->positions;
    data_.triangles = data->triangles;
    data_.geometry = data->geometry;
    if (!parent_)
        InitRoot();
    if (triangles_.size() > kSplitThreshold && GetDepth() < kDepthLimit)
        Split();
    else
        flags_ |= SPATIAL_LEAF;
}

void OctreeNode::Split() {
    flags_ &= ~SPATIAL_LEAF;
    const float quarter = size_ * 0.25f;
    float centres[8][3];
    for (int o = 0; o < 8; ++o) ChildCentre(centre_, size_, o, centres[o]);
    std::vector<std::uint32_t> taken[8];
    std::vector<std::uint32_t> staying;
    int last = 0;
    for (std::uint32_t t : triangles_) {
        const std::uint32_t* corners = data_.triangles + 3 * std::size_t(t);
        int fit = -1;
        // Neighbouring triangles usually share an octant: start just before the last one.
        for (int k = 0; k < 8 && fit < 0; ++k) {
            const int o = (last + k + 6) % 8;
            bool fits = true;
            for (int c = 0; c < 3 && fits; ++c) {
                const float* p = Position(corners[c]);
                for (int axis = 0; axis < 3; ++axis)
                    fits = fits && std::fabs(centres[o][axis] - p[axis]) <= quarter;
            }
            if (fits)
                fit = o;
        }
        if (fit < 0) {
            staying.push_back(t);
        } else {
            taken[fit].push_back(t);
            last = fit;
        }
    }
    triangles_ = std::move(staying);
    std::uint32_t index = 0;
    for (int o = 0; o < 8; ++o) {
        if (taken[o].empty())
            continue;
        auto child = std::make_unique<OctreeNode>();
        OctreeNode* raw = child.get();
        children_.push_back(std::move(child));
        InitChild(raw, std::move(taken[o]), centre_, size_, o, index++);
    }
}

void OctreeNode::InitChild(OctreeNode* child, std::vector<std::uint32_t> triangles,
                           const float* parentCentre, float parentSize, int octant,
                           std::uint32_t index) {
    child->triangles_ = std::move(triangles);
    child->SetParentAndName(this, index);
    ChildCentre(parentCentre, parentSize, octant, child->centre_);
    child->size_ = 1.0f * parentSize * 0.5f;
    child->Build(data_);
}

void OctreeNode::InitRoot() {
    name_ = "0";
    double sum[3] = {0.0, 0.0, 0.0};
    for (std::uint32_t v = 0; v < data_.vertexCount; ++v)
        for (int axis = 0; axis < 3; ++axis) sum[axis] += Position(v)[axis];
    for (int axis = 0; axis < 3; ++axis)
        centre_[axis] = static_cast<float>(sum[axis] / data_.vertexCount);
    centre_[2] -= 100.0f;
    float extent = 0.0f;
    for (std::uint32_t v = 0; v < data_.vertexCount; ++v)
        for (int axis = 0; axis < 3; ++axis)
            extent = std::max(extent, std::fabs(Position(v)[axis] - centre_[axis]));
    size_ = 2.0f * extent;
    triangles_.resize(data_.triangleCount);
    for (std::uint32_t t = 0; t < data_.triangleCount; ++t) triangles_[t] = t;
}

void OctreeNode::ChildCentre(const float* centre, float size, int octant, float* out) {
    for (int axis = 0; axis < 3; ++axis)
        out[axis] = centre[axis] + size * 0.25f * kOctantSigns[octant & 7][axis];
}

void OctreeNode::ComputeBoxes() {
    const float half = size_ * 0.5f;
    const float min[3] = {centre_[0] - half, centre_[1] - half, centre_[2] - half};
    const float max[3] = {centre_[0] + half, centre_[1] + half, centre_[2] + half};
    box_.SetMinMax(min, max);
    for (std::uint32_t t : triangles_)
        for (int c = 0; c < 3; ++c)
            contentBox_.MergePoint(Position(data_.triangles[3 * std::size_t(t) + c]));
}

void OctreeNode::BuildIndexRuns() {
    if (!data_.geometry)
        return;
    // Per mesh, the local vertex numbers and the local triangle span.
    struct Pending {
        std::vector<std::uint32_t> indices;
        std::uint32_t first = 9999999;
        std::uint32_t last = 0;
    };
    std::map<std::uint32_t, Pending> meshes;
    for (std::uint32_t t : triangles_) {
        const std::int32_t found = data_.geometry->FindMeshOfTriangle(t);
        if (found < 0)
            continue;
        const auto m = static_cast<std::uint32_t>(found);
        lowestMesh_ = std::min(lowestMesh_, m);
        highestMesh_ = std::max(highestMesh_, m);
        const TriangleRange& range = data_.geometry->GetTriangleRange(m);
        Pending& pending = meshes[m];
        for (int c = 0; c < 3; ++c)
            pending.indices.push_back(data_.triangles[3 * std::size_t(t) + c] - range.firstVertex);
        const std::uint32_t local = 3 * (t - range.firstFace);
        pending.first = std::min(pending.first, local);
        pending.last = std::max(pending.last, local + 2);
    }
    runs_.clear();
    runIndices_.clear();
    runs_.reserve(meshes.size());
    runIndices_.reserve(meshes.size());
    for (auto& [mesh, pending] : meshes) {
        runIndices_.push_back(std::move(pending.indices));
        const std::vector<std::uint32_t>& indices = runIndices_.back();
        runs_.push_back(IndexRun{mesh, static_cast<std::uint32_t>(indices.size()), indices.data(),
                                 pending.first, pending.last});
    }
}

void OctreeNode::FinishBuild() {
    ComputeBoxes();
    BuildIndexRuns();
    flags_ = triangles_.empty() ? (flags_ & ~SPATIAL_HAS_CONTENT) : (flags_ | SPATIAL_HAS_CONTENT);
    SpatialNode::FinishBuild();
}

void OctreeNode::CollectRayNodes(const Ray& ray, std::vector<OctreeNode*>& out) {
    if (box_.IntersectRay(ray) == RAY_MISS)
        return;
    out.push_back(this);
    for (const auto& child : children_)
        static_cast<OctreeNode*>(child.get())->CollectRayNodes(ray, out);
}

bool OctreeNode::RayPick(const Ray& ray, Triangle& outTriangle, float* outPoint) {
    std::vector<OctreeNode*> nodes;
    CollectRayNodes(ray, nodes);
    if (nodes.empty() || !data_.positions)
        return false;
    std::stable_sort(nodes.begin(), nodes.end(), [&](const OctreeNode* a, const OctreeNode* b) {
        return SquaredDistanceTo(ray.origin, a->centre_) <
               SquaredDistanceTo(ray.origin, b->centre_);
    });
    // Any hit counts, however far: a caller told "hit" must get that hit's triangle and point.
    float best = std::numeric_limits<float>::infinity();
    bool hit = false;
    for (const OctreeNode* node : nodes) {
        for (std::uint32_t t : node->triangles_) {
            const std::uint32_t* corners = data_.triangles + 3 * std::size_t(t);
            const float* p0 = Position(corners[0]);
            const float* p1 = Position(corners[1]);
            const float* p2 = Position(corners[2]);
            // The normal is computed once, for the winner.
            Triangle windings[2];
            CopyCorners(windings[0], p0, p1, p2);
            CopyCorners(windings[1], p2, p1, p0);
            for (const Triangle& tested : windings) {
                float point[3];
                if (!tested.IntersectRay(ray, point))
                    continue;
                hit = true;
                const float distance = SquaredDistanceTo(ray.origin, point);
                if (distance < best) {
                    best = distance;
                    outTriangle = tested;
                    if (outPoint)
                        std::copy(point, point + 3, outPoint);
                }
            }
        }
    }
    if (hit)
        outTriangle.ComputeNormal();
    return hit;
}

}  // namespace Zel
