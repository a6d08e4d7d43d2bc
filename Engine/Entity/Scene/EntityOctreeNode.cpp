#include "Entity/Scene/EntityOctreeNode.h"

#include <algorithm>
#include <atomic>

#include "Core/Globals.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/Skin.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/PickMath.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/SelectFrustum.h"
#include "Entity/Scene/SubEntity.h"
#include "Math/MathUtil.h"
#include "Math/Matrix4.h"
#include "Render/RenderCodes.h"
#include "Render/RenderSystem.h"

namespace Zel {

namespace {

std::atomic<std::uint64_t> g_builtPickNodes{0};

// Signs of the eight loose child boxes around the parent's centre, in box order.
constexpr float kChildSigns[8][3] = {{-1, 1, 1},  {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},
                                     {-1, 1, -1}, {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}};

const VertexComponentDataPool* PickPositionsOf(const Mesh& mesh) {
    const VertexData* data = mesh.GetVertexData();
    const VertexComponentDataPool* position = data ? data->FindComponent(VF_POSITION) : nullptr;
    // Only three-float positions are read as triangles.
    if (!position || !position->GetData() || position->GetElementSize() != 12)
        return nullptr;
    return position;
}

float PickSquaredDistance(const float* a, const float* b) {
    const float d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    return Dot3(d, d);
}

}  // namespace

// --- Triangle buffers
// -----------------------------------------------------------------------------

void EntityOctreeNode::MeshTriangleBuffer::TakeIndices(const Mesh& mesh,
                                                       std::uint32_t vertexCount) {
    const IndexData* indices = mesh.GetIndexData();
    if (!indices || !indices->GetIndices())
        return;
    indices_ = indices->GetIndices();
    triangleCount_ = std::min(indices->GetIndexCount(), indices->GetArraySize()) / 3;
    vertexCount_ = vertexCount;
}

bool EntityOctreeNode::MeshTriangleBuffer::IsValid(std::uint32_t i) const {
    if (!positions_ || i >= triangleCount_)
        return false;
    const std::uint32_t* t = indices_ + 3 * std::size_t(i);
    return t[0] < vertexCount_ && t[1] < vertexCount_ && t[2] < vertexCount_;
}

void EntityOctreeNode::MeshTriangleBuffer::GetTriangle(std::uint32_t i, Triangle& out) const {
    const std::uint32_t* t = indices_ + 3 * std::size_t(i);
    std::copy_n(positions_ + 3 * std::size_t(t[0]), 3, out.p0);
    std::copy_n(positions_ + 3 * std::size_t(t[1]), 3, out.p1);
    std::copy_n(positions_ + 3 * std::size_t(t[2]), 3, out.p2);
}

EntityOctreeNode::StaticMeshTriangleBuffer::StaticMeshTriangleBuffer(const Mesh* mesh) {
    const VertexComponentDataPool* position = mesh ? PickPositionsOf(*mesh) : nullptr;
    if (!position)
        return;
    positions_ = position->GetFloats();
    TakeIndices(*mesh, position->GetCount());
}

EntityOctreeNode::SkeletonMeshTriangleBuffer::SkeletonMeshTriangleBuffer(Skin& mesh,
                                                                         const Entity& entity)
    : mesh_(mesh), entity_(entity) {
    const VertexComponentDataPool* position = PickPositionsOf(mesh);
    if (!position)
        return;
    own_.assign(position->GetFloats(),
                position->GetFloats() + 3 * std::size_t(position->GetCount()));
    positions_ = own_.data();
    TakeIndices(mesh, position->GetCount());
}

bool EntityOctreeNode::SkeletonMeshTriangleBuffer::Update() {
    const BoneStateSet* states = entity_.GetBoneStates();
    if (!states || own_.empty())
        return false;
    mesh_.RemapBlendData(own_.data(), *states, VF_POSITION, 12, IdentityMatrix(), 0);
    return true;
}

// --- Build --------------------------------------------------------------------------------------

EntityOctreeNode::EntityOctreeNode() {
    box_.SetEmpty();
}

EntityOctreeNode::~EntityOctreeNode() = default;

std::uint64_t EntityOctreeNode::GetBuiltNodeCount() {
    return g_builtPickNodes.load(std::memory_order_relaxed);
}

void EntityOctreeNode::Build(Entity* entity) {
    g_builtPickNodes.fetch_add(1, std::memory_order_relaxed);
    entity_ = entity;
    if (!entity)
        return;
    if (!parent_) {
        name_ = "0";
        const std::vector<SubEntity*>& pieces = entity->GetSubEntities();
        for (std::uint32_t i = 0; i < pieces.size(); ++i) {
            Mesh* mesh = pieces[i]->GetMesh();
            std::unique_ptr<MeshTriangleBuffer> buffer;
            Skin* skin =
                mesh && mesh->GetMeshType() == kSkinMeshType ? dynamic_cast<Skin*>(mesh) : nullptr;
            if (skin)
                buffer = std::make_unique<SkeletonMeshTriangleBuffer>(*skin, *entity);
            else
                buffer = std::make_unique<StaticMeshTriangleBuffer>(mesh);
            for (std::uint32_t j = 0; j < buffer->GetTriangleCount(); ++j)
                if (buffer->IsValid(j))
                    entries_.push_back({i, j});
            buffers_.push_back(buffer.get());
            ownedBuffers_.push_back(std::move(buffer));
        }
        UpdateRootBox();
    } else {
        buffers_ = static_cast<EntityOctreeNode*>(parent_)->buffers_;
    }
    if (entries_.size() > kPickSplitThreshold && GetDepth() < kPickDepthLimit)
        Split();
}

void EntityOctreeNode::Split() {
    const float* min = box_.GetMin();
    const float* max = box_.GetMax();
    float centre[3], quarter[3];
    for (int a = 0; a < 3; ++a) {
        centre[a] = (min[a] + max[a]) * 0.5f;
        quarter[a] = (max[a] - min[a]) * 0.25f;
    }
    AABB boxes[8];
    for (int k = 0; k < 8; ++k) {
        float lo[3], hi[3];
        for (int a = 0; a < 3; ++a) {
            const float mid = centre[a] + kChildSigns[k][a] * quarter[a];
            lo[a] = mid - 1.5f * quarter[a];
            hi[a] = mid + 1.5f * quarter[a];
        }
        boxes[k].SetMinMax(lo, hi);
    }
    std::vector<Entry> taken[8];
    std::vector<Entry> staying;
    Triangle t;
    for (const Entry& entry : entries_) {
        const MeshTriangleBuffer& buffer = *buffers_[entry.buffer];
        int fit = -1;
        if (buffer.GetKind() != 1) {
            buffer.GetTriangle(entry.triangle, t);
            for (int k = 0; k < 8 && fit < 0; ++k)
                if (boxes[k].ContainsPoint(t.p0) && boxes[k].ContainsPoint(t.p1) &&
                    boxes[k].ContainsPoint(t.p2))
                    fit = k;
        }
        (fit < 0 ? staying : taken[fit]).push_back(entry);
    }
    entries_ = std::move(staying);
    for (int k = 0; k < 8; ++k) {
        if (taken[k].empty())
            continue;
        auto child = std::make_unique<EntityOctreeNode>();
        EntityOctreeNode* raw = child.get();
        // The name digit is the box number.
        raw->SetParentAndName(this, static_cast<std::uint32_t>(k));
        raw->box_.Assign(boxes[k]);
        raw->entries_ = std::move(taken[k]);
        children_.push_back(std::move(child));
        raw->Build(entity_);
    }
}

void EntityOctreeNode::UpdateRootBox() {
    if (!entity_)
        return;
    float inverse[16];
    std::copy_n(entity_->GetWorldMatrix(), 16, inverse);
    if (!Matrix4::Inverse(inverse))
        std::copy_n(entity_->GetWorldMatrix(), 16, inverse);
    // All eight corners: a rotated entity's local box must still enclose its triangles.
    box_.Assign(entity_->GetBoundingBox());
    box_.Transform(inverse);
}

void EntityOctreeNode::RefreshSkinned() {
    bool changed = false;
    for (MeshTriangleBuffer* buffer : buffers_) changed = buffer->Update() || changed;
    if (changed)
        UpdateRootBox();
}

// --- Queries ------------------------------------------------------------------------------------

void EntityOctreeNode::CollectPickNodes(const Ray& ray, std::vector<EntityOctreeNode*>& out) {
    if (RayMissesBox(box_, ray))
        return;
    out.push_back(this);
    for (std::uint32_t i = 0; i < GetChildCount(); ++i) Child(i)->CollectPickNodes(ray, out);
}

bool EntityOctreeNode::RayPick(const Ray& ray, Triangle& outTriangle, float* outPoint) {
    std::vector<EntityOctreeNode*> nodes;
    CollectPickNodes(ray, nodes);
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    RenderSystem* render = scene ? scene->GetRenderSystem() : nullptr;
    constexpr float kRed[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    float best = 1e30f;
    bool hit = false;
    Triangle t;
    for (const EntityOctreeNode* node : nodes) {
        for (const Entry& entry : node->entries_) {
            buffers_[entry.buffer]->GetTriangle(entry.triangle, t);
            float point[3];
            if (!t.IntersectRay(ray, point))
                continue;
            hit = true;
            if (render)
                render->DrawSimple(t.p0, kRed);
            const float distance = PickSquaredDistance(ray.origin, point);
            if (distance < best) {
                best = distance;
                outTriangle = t;
                if (outPoint)
                    std::copy_n(point, 3, outPoint);
            }
        }
    }
    if (hit)
        outTriangle.ComputeNormal();
    return hit;
}

int EntityOctreeNode::Classify(const BoundingVolume& volume) {
    const int k = volume.Intersect(box_);
    if (k == INTERSECT_INSIDE || k == INTERSECT_DISJOINT)
        return k;
    for (std::uint32_t i = 0; i < GetChildCount(); ++i)
        if (Child(i)->Classify(volume) == INTERSECT_INSIDE)
            return INTERSECT_INSIDE;
    flags_ |= SPATIAL_VISIBLE;
    return INTERSECT_OVERLAP;
}

int EntityOctreeNode::TestMarkedTriangles(SelectFrustum& selection) {
    if (flags_ & SPATIAL_VISIBLE) {
        Triangle t;
        for (const Entry& entry : entries_) {
            buffers_[entry.buffer]->GetTriangle(entry.triangle, t);
            float point[3];
            if (selection.IntersectTriangle(t, point) != 1)
                return 0;
        }
        flags_ &= ~SPATIAL_VISIBLE;
    }
    for (std::uint32_t i = 0; i < GetChildCount(); ++i)
        if (Child(i)->TestMarkedTriangles(selection) == 0)
            return 0;
    return 1;
}

bool EntityOctreeNode::IntersectsSelection(SelectFrustum& selection) {
    const int k = Classify(selection);
    if (k == INTERSECT_DISJOINT)
        return false;
    if (k == INTERSECT_INSIDE)
        return true;
    return TestMarkedTriangles(selection) == 0;
}

}  // namespace Zel
