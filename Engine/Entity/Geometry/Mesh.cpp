#include "Entity/Geometry/Mesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <typeinfo>
#include <unordered_map>

#include "Core/FrameStats.h"
#include "Core/Globals.h"
#include "Core/IZelStream.h"
#include "Core/LogDispatch.h"
#include "Entity/Geometry/CompareTriangleOrder.h"
#include "Entity/Geometry/Graph.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/IndexRun.h"
#include "Entity/Geometry/MeshData.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Geometry/TransformMath.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Math/MathUtil.h"
#include "Render/HardwareIndexBuffer.h"
#include "Render/RenderCodes.h"
#include "Render/RenderOperation.h"

namespace Zel {

namespace {

constexpr std::uint32_t kMeshBaseBytes = 500;

// Calls fn(a, b, c) for every triangle of the group's entries whose indexes lie in the array:
// triples of a list, or the triangles of a strip with every second one's first two corners
// swapped. Answers how many index positions lay outside the array.
template <class Fn>
std::uint64_t ForEachTriangle(const LodStripArray& group, const std::uint32_t* indices,
                              std::uint32_t arraySize, Fn fn) {
    std::uint64_t outside = 0;
    for (const RenderGroupEntry& entry : group.entries) {
        const std::uint64_t first = entry.start / 4;
        std::uint64_t count = entry.indexCount;
        if (first + count > arraySize) {
            outside += first + count - arraySize;
            count = first >= arraySize ? 0 : arraySize - first;
        }
        const std::uint32_t* at = indices + first;
        if (entry.primitive == PT_TRIANGLE_STRIP) {
            for (std::uint64_t k = 0; k + 2 < count; ++k) {
                if (k & 1)
                    fn(at[k + 1], at[k], at[k + 2]);
                else
                    fn(at[k], at[k + 1], at[k + 2]);
            }
        } else {
            for (std::uint64_t k = 0; k + 2 < count; k += 3) fn(at[k], at[k + 1], at[k + 2]);
        }
    }
    return outside;
}

std::uint32_t RecordWord(const std::uint8_t* record, std::size_t at) {
    return std::uint32_t(record[at]) | std::uint32_t(record[at + 1]) << 8 |
           std::uint32_t(record[at + 2]) << 16 | std::uint32_t(record[at + 3]) << 24;
}

float RecordFloat(const std::uint8_t* record, std::size_t at) {
    const std::uint32_t word = RecordWord(record, at);
    float value;
    std::memcpy(&value, &word, 4);
    return value;
}

// Reads exactly n bytes when the file still holds them; false otherwise (nothing read).
bool ReadExact(IZelStream& file, void* out, std::uint64_t n) {
    const std::uint64_t left =
        std::uint64_t(file.GetSize()) - std::min(file.Tell(), file.GetSize());
    if (n > left)
        return false;
    return n == 0 || file.Read(out, static_cast<std::uint32_t>(n)) == n;
}

// Point-in-triangle test of the full sort: at least two of the three products (v - p) . (w - p)
// over the corner pairs are not positive.
bool InsideOnScreen(const float* p, const float* const* corners) {
    int notPositive = 0;
    for (int k = 0; k < 3; ++k) {
        const float* v = corners[k];
        const float* w = corners[(k + 1) % 3];
        const float dot = (v[0] - p[0]) * (w[0] - p[0]) + (v[1] - p[1]) * (w[1] - p[1]);
        if (!(dot > 0.0f))
            ++notPositive;
    }
    return notPositive >= 2;
}

// Depth of the triangle's plane at screen point p from its corners' barycentric weights; false
// for a triangle without area on screen.
bool DepthAt(const float* p, const float* const* c, float& z) {
    const float d =
        (c[1][1] - c[2][1]) * (c[0][0] - c[2][0]) + (c[2][0] - c[1][0]) * (c[0][1] - c[2][1]);
    if (std::fabs(d) < 1e-12f)
        return false;
    const float l0 =
        ((c[1][1] - c[2][1]) * (p[0] - c[2][0]) + (c[2][0] - c[1][0]) * (p[1] - c[2][1])) / d;
    const float l1 =
        ((c[2][1] - c[0][1]) * (p[0] - c[2][0]) + (c[0][0] - c[2][0]) * (p[1] - c[2][1])) / d;
    z = l0 * c[0][2] + l1 * c[1][2] + (1.0f - l0 - l1) * c[2][2];
    return std::isfinite(z);
}

}  // namespace

Mesh::Mesh(Geometry* owner, std::string name, bool ownVertexData, bool ownIndexData)
    : name_(std::move(name)), owner_(owner) {
    if (ownVertexData)
        vertexData_ = std::make_unique<VertexData>(this, BU_STATIC | BU_WRITE_ONLY, false);
    if (ownIndexData)
        indexData_ = std::make_unique<IndexData>(0);
}

Mesh::Mesh(Geometry* owner, bool ownVertexData, bool ownIndexData)
    : Mesh(owner, std::string(), ownVertexData, ownIndexData) {}

Mesh::~Mesh() {
    ReleaseRenderData();
}

VertexData* Mesh::GetVertexData() const {
    return sharedVertex_ ? sharedVertex_ : vertexData_.get();
}

IndexData* Mesh::GetIndexData() const {
    return sharedIndex_ ? sharedIndex_ : indexData_.get();
}

void Mesh::ReplaceOwnVertexData(std::unique_ptr<VertexData> data) {
    vertexData_ = std::move(data);
}

void Mesh::UseSharedVertexData(VertexData* shared) {
    sharedVertex_ = shared;
}

void Mesh::UseSharedIndexData(IndexData* shared) {
    sharedIndex_ = shared;
}

void Mesh::AddRenderGroup(std::unique_ptr<LodStripArray> group) {
    if (!group)
        return;
    groups_.push_back(std::move(group));
    if (!currentGroup_)
        currentGroup_ = groups_.front().get();
}

void Mesh::CopyTo(Mesh& destination) const {
    if (&destination == this)
        return;
    destination.materialName_ = materialName_;
    if (vertexData_ && destination.vertexData_)
        destination.vertexData_->CopyFrom(*vertexData_);
    if (indexData_ && destination.indexData_)
        destination.indexData_->CopyFrom(*indexData_);
    destination.sharedVertex_ = sharedVertex_;
    destination.sharedIndex_ = sharedIndex_;
    destination.bounds_.Assign(bounds_);
    destination.faceCount_ = faceCount_;
    destination.vertexCount_ = vertexCount_;
    destination.faceExtra_ = faceExtra_;
    destination.triangles_ = triangles_;
    std::copy(std::begin(words_), std::end(words_), std::begin(destination.words_));
    destination.groups_.clear();
    destination.currentGroup_ = nullptr;
    for (const auto& group : groups_)
        destination.AddRenderGroup(std::make_unique<LodStripArray>(*group));
    destination.flags_ = flags_;
    destination.groupWord_ = groupWord_;
}

std::uint32_t Mesh::GetMemorySize() const {
    std::uint64_t bytes = kMeshBaseBytes;
    if (indexData_)
        bytes += indexData_->GetMemorySize();
    if (vertexData_)
        bytes += vertexData_->GetMemorySize();
    if (!faceExtra_.empty())
        bytes += 12ull * faceCount_;
    if (!triangles_.empty())
        bytes += 12ull * faceCount_;
    for (const auto& group : groups_) bytes += 12 + 20ull * group->entries.size();
    return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(bytes);
}

void Mesh::ReleaseRenderData() {
    vertexData_.reset();
    indexData_.reset();
    faceExtra_ = {};
    triangles_ = {};
    openEdges_ = {};
    auxWord_ = 0;
    groups_.clear();
    currentGroup_ = nullptr;
    homogeneous_ = {};
    projected_ = {};
    projectedCount_ = 0;
    graph_.reset();
    faceRects_ = {};
    faceDepths_ = {};
    sortKey_ = 0;
}

void Mesh::PrepareComponents(std::uint32_t mask) {
    if (sharedVertex_) {
        sharedVertex_->GetBufferByFormat(mask, true);
        return;
    }
    if (!vertexData_)
        return;
    if (mask & (VF_TANGENT | VF_BINORMAL))
        BuildTangents();
    vertexData_->GetBufferByFormat(mask, true);
}

void Mesh::PrepareForPass(bool sortRequested, const float* world, std::uint32_t passVertexFlags,
                          std::uint32_t passFlags) {
    if ((passVertexFlags & VF_TANGENT) ||
        ((passVertexFlags & VF_BINORMAL) && !(flags_ & kTangentsBuilt)))
        BuildTangents();
    if (!sortRequested || !world || !(passFlags & kPassDepthSorted) ||
        typeid(*this) != typeid(Mesh) || !IsSingleTriangleList())
        return;
    float clip[16];
    if (ClipMatrixUnderCamera(world, clip))
        SortTrianglesFull(clip, true);
}

bool Mesh::ClipMatrixUnderCamera(const float* world, float* clip) {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (!scene || !scene->GetCurrentCamera())
        return false;
    float viewWorld[16];
    // Column vectors: the left factor applies last.
    MultiplyMatrices4(scene->GetViewMatrix(), world, viewWorld);
    MultiplyMatrices4(scene->GetProjectionMatrix(), viewWorld, clip);
    return true;
}

bool Mesh::IsSingleTriangleList() const {
    return renderEnabled_ && vertexData_ && indexData_ && currentGroup_ &&
           currentGroup_->entries.size() == 1 &&
           currentGroup_->entries[0].primitive == PT_TRIANGLE_LIST;
}

void Mesh::BuildTangents() {
    if (!vertexData_ || (flags_ & kTangentsBuilt))
        return;
    flags_ |= kTangentsBuilt;
    VertexData& data = *vertexData_;
    const std::uint32_t n = data.GetVertexCount();
    if (n == 0)
        return;
    VertexComponentDataPool* frames[2];
    const std::uint32_t semantics[2] = {VF_TANGENT, VF_BINORMAL};
    for (int k = 0; k < 2; ++k) {
        frames[k] = data.FindComponent(semantics[k]);
        if (!frames[k])
            frames[k] = data.AddComponent(semantics[k], VET_FLOAT3, n);
        if (!frames[k] || frames[k]->type != VET_FLOAT3 || frames[k]->GetCount() < n) {
            LogError("Mesh::BuildTangents: no usable component 0x%x in mesh %s", semantics[k],
                     name_.c_str());
            return;
        }
        std::memset(frames[k]->GetData(), 0, frames[k]->GetDataSize());
    }
    data.SetDirty(true);

    const VertexComponentDataPool* position = data.FindComponent(VF_POSITION);
    const VertexComponentDataPool* uv = data.FindComponent(VF_TEXCOORD0);
    IndexData* indexData = GetIndexData();
    if (!position || !uv || position->type != VET_FLOAT3 || uv->type != VET_FLOAT2 ||
        !currentGroup_ || !indexData || !indexData->GetIndices())
        return;
    const std::uint32_t limit = std::min({n, position->GetCount(), uv->GetCount()});
    const float* p = position->GetFloats();
    const float* t = uv->GetFloats();
    float* tangents = frames[0]->GetFloats();
    float* binormals = frames[1]->GetFloats();
    std::uint64_t skipped = 0;
    ForEachTriangle(*currentGroup_, indexData->GetIndices(), indexData->GetArraySize(),
                    [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
                        if (a >= limit || b >= limit || c >= limit) {
                            ++skipped;
                            return;
                        }
                        const float* p0 = p + 3 * a;
                        const float* p1 = p + 3 * b;
                        const float* p2 = p + 3 * c;
                        const float e1[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
                        const float e2[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
                        const float du1 = t[2 * b] - t[2 * a], dv1 = t[2 * b + 1] - t[2 * a + 1];
                        const float du2 = t[2 * c] - t[2 * a], dv2 = t[2 * c + 1] - t[2 * a + 1];
                        const float det = du1 * dv2 - du2 * dv1;
                        if (det == 0.0f)
                            return;
                        const float r = 1.0f / det;
                        float tangent[3], binormal[3];
                        for (int i = 0; i < 3; ++i) {
                            tangent[i] = (e1[i] * dv2 - e2[i] * dv1) * r;
                            binormal[i] = (e2[i] * du1 - e1[i] * du2) * r;
                        }
                        NormalizeOrZero(tangent);
                        NormalizeOrZero(binormal);
                        for (std::uint32_t v : {a, b, c})
                            for (int i = 0; i < 3; ++i) {
                                tangents[3 * v + i] += tangent[i];
                                binormals[3 * v + i] += binormal[i];
                            }
                    });
    if (skipped)
        LogError("Mesh::BuildTangents: %llu triangles of mesh %s name missing vertices",
                 static_cast<unsigned long long>(skipped), name_.c_str());
}

void Mesh::BuildOpenEdgeVertices() {
    VertexData* vertexData = GetVertexData();
    IndexData* indexData = GetIndexData();
    if (!vertexData || !indexData || !currentGroup_)
        return;
    openEdges_.clear();
    const std::uint32_t n = vertexData->GetVertexCount();
    const std::uint32_t* indices = indexData->GetIndices();
    if (!indices || n == 0)
        return;

    // Only the parity of each edge's use count matters: an edge present in the map is odd.
    std::unordered_map<std::uint64_t, bool> odd;
    odd.reserve(std::size_t(indexData->GetArraySize()) + 16);
    std::uint64_t skipped = 0;
    const auto use = [&](std::uint32_t a, std::uint32_t b) {
        const std::uint64_t key =
            a < b ? (std::uint64_t(a) << 32 | b) : (std::uint64_t(b) << 32 | a);
        auto [at, added] = odd.try_emplace(key, true);
        if (!added)
            odd.erase(at);
    };
    const std::uint64_t outside =
        ForEachTriangle(*currentGroup_, indices, indexData->GetArraySize(),
                        [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
                            if (a >= n || b >= n || c >= n) {
                                ++skipped;
                                return;
                            }
                            use(a, b);
                            use(b, c);
                            use(c, a);
                        });
    if (skipped || outside)
        LogError(
            "Mesh::BuildOpenEdgeVertices: mesh %s has %llu triangles naming missing "
            "vertices and %llu entry indexes past its index array",
            name_.c_str(), static_cast<unsigned long long>(skipped),
            static_cast<unsigned long long>(outside));

    std::vector<std::uint8_t> open(n, 0);
    for (const auto& [key, unused] : odd) {
        open[key >> 32] = 1;
        open[key & 0xFFFFFFFFu] = 1;
    }
    for (std::uint32_t v = 0; v < n; ++v)
        if (open[v])
            openEdges_.push_back(v);
}

void Mesh::ProjectPositions(const float* m) {
    ProjectHomogeneous(m, PrepareHomogeneous());
}

std::uint32_t Mesh::PrepareHomogeneous() {
    const VertexData* vertexData = GetVertexData();
    const VertexComponentDataPool* position =
        vertexData ? vertexData->FindComponent(VF_POSITION) : nullptr;
    const std::uint32_t n = position && position->type == VET_FLOAT3
                                ? std::min(vertexData->GetVertexCount(), position->GetCount())
                                : 0;
    const std::size_t padded = (std::size_t(n) + 3) / 4 * 4;
    if (homogeneous_.size() != padded * 4) {
        homogeneous_.assign(padded * 4, 0.0f);
        const float* p = n ? position->GetFloats() : nullptr;
        for (std::uint32_t v = 0; v < n; ++v) {
            homogeneous_[4 * v + 0] = p[3 * v + 0];
            homogeneous_[4 * v + 1] = p[3 * v + 1];
            homogeneous_[4 * v + 2] = p[3 * v + 2];
            homogeneous_[4 * v + 3] = 1.0f;
        }
    }
    return n;
}

void Mesh::ProjectHomogeneous(const float* m, std::uint32_t n) {
    const std::size_t padded = (std::size_t(n) + 3) / 4 * 4;
    projected_.assign(padded * 4, 0.0f);
    projectedCount_ = n;
    projectedBounds_.SetEmpty();
    for (std::uint32_t v = 0; v < n; ++v) {
        const float* h = &homogeneous_[4 * v];
        const float w = 1.0f / (m[12] * h[0] + m[13] * h[1] + m[14] * h[2] + m[15]);
        float* out = &projected_[4 * v];
        out[0] = (m[0] * h[0] + m[1] * h[1] + m[2] * h[2] + m[3]) * w;
        out[1] = (m[4] * h[0] + m[5] * h[1] + m[6] * h[2] + m[7]) * w;
        out[2] = (m[8] * h[0] + m[9] * h[1] + m[10] * h[2] + m[11]) * w;
        out[3] = 1.0f;
        projectedBounds_.MergePoint(out);
    }
}

bool Mesh::SortableTriangles(const std::uint32_t*& triangles, std::uint32_t& faceCount,
                             std::uint32_t& firstIndex) const {
    const IndexData* indexData = GetIndexData();
    if (!indexData || !indexData->GetIndices() || !indexData->GetBuffer() || !currentGroup_ ||
        currentGroup_->entries.empty() || currentGroup_->entries[0].primitive != PT_TRIANGLE_LIST)
        return false;
    const RenderGroupEntry& entry = currentGroup_->entries[0];
    const std::uint32_t arraySize = indexData->GetArraySize();
    firstIndex = entry.start / 4;
    if (firstIndex > arraySize ||
        std::uint64_t(firstIndex) + entry.indexCount >
            std::min(arraySize, indexData->GetBuffer()->GetIndexCount())) {
        LogError("Mesh: the sorted entry of mesh %s leaves its index array", name_.c_str());
        return false;
    }
    triangles = indexData->GetIndices() + firstIndex;
    faceCount = entry.indexCount / 3;
    for (std::uint32_t i = 0; i < faceCount * 3; ++i)
        if (triangles[i] >= projectedCount_) {
            LogError("Mesh: the sorted entry of mesh %s names vertex %u of %u", name_.c_str(),
                     triangles[i], projectedCount_);
            return false;
        }
    return faceCount > 0;
}

void Mesh::WriteSortedTriangles(const std::uint32_t* triangles, std::uint32_t faceCount,
                                std::uint32_t firstIndex) {
    HardwareIndexBuffer* buffer = GetIndexData()->GetBuffer();
    const std::uint32_t size = buffer->GetIndexSize();
    void* locked = buffer->Lock(firstIndex * size, faceCount * 3 * size, LO_NORMAL);
    if (!locked) {
        LogError("Mesh: cannot lock the index buffer of mesh %s to sort it", name_.c_str());
        return;
    }
    auto* out = static_cast<std::uint8_t*>(locked);
    for (std::uint32_t k = 0; k < faceCount; ++k) {
        WriteIndices(out, buffer->Is32Bit(), triangles + 3 * std::size_t(graph_->GetOrder()[k]), 3);
        out += 3 * size;
    }
    buffer->Unlock();
}

void Mesh::SortTriangles(const float* matrix) {
    ProjectPositions(matrix);
    const std::uint32_t* triangles = nullptr;
    std::uint32_t faceCount = 0, firstIndex = 0;
    if (!SortableTriangles(triangles, faceCount, firstIndex))
        return;
    if (!graph_)
        graph_ = std::make_unique<Graph>();
    graph_->Resize(faceCount);
    graph_->Clear();
    const float* positions = projected_.data();
    graph_->TopologicalSort([&](std::uint32_t v, std::uint32_t w) {
        // Pair (i, j), i < j: i -> j when i is the farther (2), j -> i when j is (1).
        if (v < w)
            return CompareTriangleOrder(triangles + 3 * v, triangles + 3 * w, positions, 4) == 2;
        return CompareTriangleOrder(triangles + 3 * w, triangles + 3 * v, positions, 4) == 1;
    });
    WriteSortedTriangles(triangles, faceCount, firstIndex);
}

int Mesh::CompareFacesFull(const std::uint32_t* triangles, std::uint32_t i, std::uint32_t j) const {
    const float* depthA = &faceDepths_[2 * std::size_t(i)];
    const float* depthB = &faceDepths_[2 * std::size_t(j)];
    if (!(depthA[0] < depthB[1]))
        return 2;
    if (!(depthB[0] < depthA[1]))
        return 1;
    const float* ra = &faceRects_[4 * std::size_t(i)];  // x min, x max, y min, y max
    const float* rb = &faceRects_[4 * std::size_t(j)];
    if (!(ra[1] > rb[0]) || !(rb[1] > ra[0]) || !(ra[3] > rb[2]) || !(rb[3] > ra[2]))
        return 0;

    const float* a[3];
    const float* b[3];
    for (int k = 0; k < 3; ++k) {
        a[k] = &projected_[4 * std::size_t(triangles[3 * std::size_t(i) + k])];
        b[k] = &projected_[4 * std::size_t(triangles[3 * std::size_t(j) + k])];
    }
    const auto allInside = [](const float* const* corners, const float* const* triangle) {
        return InsideOnScreen(corners[0], triangle) && InsideOnScreen(corners[1], triangle) &&
               InsideOnScreen(corners[2], triangle);
    };
    float point[2];
    if (rb[0] < ra[0] && rb[1] >= ra[1] && rb[2] < ra[2] && rb[3] >= ra[3] && allInside(a, b)) {
        point[0] = (a[0][0] + a[1][0] + a[2][0]) / 3.0f;
        point[1] = (a[0][1] + a[1][1] + a[2][1]) / 3.0f;
    } else if (ra[0] <= rb[0] && ra[1] >= rb[1] && ra[2] <= rb[2] && ra[3] >= rb[3] &&
               allInside(b, a)) {
        point[0] = (b[0][0] + b[1][0] + b[2][0]) / 3.0f;
        point[1] = (b[0][1] + b[1][1] + b[2][1]) / 3.0f;
    } else {
        float sum[2] = {0.0f, 0.0f};
        int crossings = 0;
        for (int ea = 0; ea < 3; ++ea) {
            const float* a0 = a[ea];
            const float* a1 = a[(ea + 1) % 3];
            const float r[2] = {a1[0] - a0[0], a1[1] - a0[1]};
            int onThisEdge = 0;
            for (int eb = 0; eb < 3 && onThisEdge < 2; ++eb) {
                const float* b0 = b[eb];
                const float* b1 = b[(eb + 1) % 3];
                const float s[2] = {b1[0] - b0[0], b1[1] - b0[1]};
                const float det = r[0] * s[1] - r[1] * s[0];
                if (!(std::fabs(det) > 1e-5f))
                    continue;
                const float q[2] = {b0[0] - a0[0], b0[1] - a0[1]};
                const float t = (q[0] * s[1] - q[1] * s[0]) / det;
                const float u = (q[0] * r[1] - q[1] * r[0]) / det;
                if (t > 0.0001f && t < 0.9999f && u > 0.0001f && u < 0.9999f) {
                    sum[0] += a0[0] + t * r[0];
                    sum[1] += a0[1] + t * r[1];
                    ++crossings;
                    ++onThisEdge;
                }
            }
        }
        if (crossings == 0)
            return 0;
        point[0] = sum[0] / float(crossings);
        point[1] = sum[1] / float(crossings);
    }
    float zA, zB;
    if (!DepthAt(point, a, zA) || !DepthAt(point, b, zB))
        return 0;
    const float planar = point[0] * point[0] + point[1] * point[1];
    return planar + zB * zB < planar + zA * zA ? 2 : 1;
}

void Mesh::SortTrianglesFull(const float* matrix, bool orderFlag) {
    ProjectPositions(matrix);
    const std::uint32_t* triangles = nullptr;
    std::uint32_t faceCount = 0, firstIndex = 0;
    if (!SortableTriangles(triangles, faceCount, firstIndex))
        return;
    faceRects_.resize(4 * std::size_t(faceCount));
    faceDepths_.resize(2 * std::size_t(faceCount));
    for (std::uint32_t f = 0; f < faceCount; ++f) {
        float* rect = &faceRects_[4 * std::size_t(f)];
        float* depth = &faceDepths_[2 * std::size_t(f)];
        for (int k = 0; k < 3; ++k) {
            const float* p = &projected_[4 * std::size_t(triangles[3 * std::size_t(f) + k])];
            if (k == 0) {
                rect[0] = rect[1] = p[0];
                rect[2] = rect[3] = p[1];
                depth[0] = depth[1] = p[2];
                continue;
            }
            rect[0] = std::min(rect[0], p[0]);
            rect[1] = std::max(rect[1], p[0]);
            rect[2] = std::min(rect[2], p[1]);
            rect[3] = std::max(rect[3], p[1]);
            depth[0] = std::min(depth[0], p[2]);
            depth[1] = std::max(depth[1], p[2]);
        }
    }
    if (!graph_)
        graph_ = std::make_unique<Graph>();
    graph_->Resize(faceCount);
    graph_->Clear();
    // With the order flag the farther face of a pair comes first.
    const int forward = orderFlag ? 2 : 1;
    const int backward = orderFlag ? 1 : 2;
    graph_->TopologicalSort([&](std::uint32_t v, std::uint32_t w) {
        if (v < w)
            return CompareFacesFull(triangles, v, w) == forward;
        return CompareFacesFull(triangles, w, v) == backward;
    });
    WriteSortedTriangles(triangles, faceCount, firstIndex);
}

std::uint32_t Mesh::FillIndexRuns(const std::vector<const IndexRun*>& runs) {
    IndexData* indexData = GetIndexData();
    HardwareIndexBuffer* buffer = indexData ? indexData->GetBuffer() : nullptr;
    if (!buffer)
        return 0;
    void* locked = buffer->Lock(LO_DISCARD);
    if (!locked) {
        LogError("Mesh::FillIndexRuns: cannot lock the index buffer of mesh %s", name_.c_str());
        return 0;
    }
    FrameStats* stats = Globals::Find(&Globals::GetFrameStats);
    const std::uint32_t capacity = buffer->GetIndexCount();
    const std::uint32_t size = buffer->GetIndexSize();
    std::uint32_t total = 0;
    for (const IndexRun* run : runs) {
        if (!run)
            continue;
        const std::uint32_t count = run->indices ? std::min(run->count, capacity - total) : 0;
        WriteIndices(static_cast<std::uint8_t*>(locked) + std::size_t(total) * size,
                     buffer->Is32Bit(), run->indices, count);
        total += count;
        if (stats)
            ++(*stats)[FRAME_INDEX_RUNS];
    }
    buffer->Unlock();
    if (currentGroup_ && !currentGroup_->entries.empty()) {
        currentGroup_->entries[0].drawCount = total;
        currentGroup_->entries[0].start = 0;
    }
    return total / 3;
}

bool Mesh::ReadBinaryV2(const std::uint8_t* record, std::uint32_t recordSize, IZelStream& file) {
    constexpr std::uint32_t kNameOffset = 156;
    if (!record || recordSize < kNameOffset) {
        LogError("Mesh::ReadBinaryV2: a mesh record of %u bytes is too short", recordSize);
        return false;
    }
    if (!vertexData_ || !indexData_) {
        LogError("Mesh::ReadBinaryV2: mesh %s has no vertex or index data of its own",
                 name_.c_str());
        return false;
    }
    const std::uint32_t vertexBlockSize = RecordWord(record, 0);
    const std::uint32_t indexBlockSize = RecordWord(record, 4);
    const std::uint32_t vertexCount = RecordWord(record, 8);
    float boxMin[3], boxMax[3];
    for (int i = 0; i < 3; ++i) {
        boxMin[i] = RecordFloat(record, 12 + 4 * i);
        boxMax[i] = RecordFloat(record, 24 + 4 * i);
    }
    const std::uint32_t normalOffset = RecordWord(record, 36);
    const std::uint32_t uvOffset = RecordWord(record, 40);
    const std::uint32_t colourOffset = RecordWord(record, 48);
    const std::uint32_t groupCount = RecordWord(record, 72);
    const char* nameStart = reinterpret_cast<const char*>(record + kNameOffset);
    const std::string name(nameStart, strnlen(nameStart, recordSize - kNameOffset));
    const auto fail = [&](const char* what) {
        LogError("Mesh::ReadBinaryV2: mesh %s: %s (file %s)", name.c_str(), what,
                 file.GetName().c_str());
        return false;
    };

    // Render groups: each at least 8 bytes, each entry 16.
    std::vector<std::unique_ptr<LodStripArray>> groups;
    if (std::uint64_t(groupCount) * 8 > std::uint64_t(file.GetSize()) - file.Tell())
        return fail("more render groups than bytes left");
    for (std::uint32_t g = 0; g < groupCount; ++g) {
        std::uint8_t head[8];
        if (!ReadExact(file, head, 8))
            return fail("render group past the end of the file");
        const std::uint32_t entryCount = RecordWord(head, 0);
        std::vector<std::uint8_t> raw(0);
        if (std::uint64_t(entryCount) * 16 > std::uint64_t(file.GetSize()) - file.Tell())
            return fail("render group entries past the end of the file");
        raw.resize(std::size_t(entryCount) * 16);
        if (!ReadExact(file, raw.data(), raw.size()))
            return fail("render group entries past the end of the file");
        auto group = std::make_unique<LodStripArray>();
        group->value = RecordWord(head, 4);
        group->entries.resize(entryCount);
        for (std::uint32_t e = 0; e < entryCount; ++e) {
            const std::uint8_t* at = raw.data() + 16 * std::size_t(e);
            const std::uint32_t type = RecordWord(at, 0);
            RenderGroupEntry& entry = group->entries[e];
            entry.primitive = type == 5 ? PT_TRIANGLE_STRIP : PT_TRIANGLE_LIST;
            entry.indexCount = entry.drawCount = RecordWord(at, 4);
            entry.start = RecordWord(at, 8);
            entry.value = RecordWord(at, 12);
        }
        groups.push_back(std::move(group));
    }

    if (std::uint64_t(vertexBlockSize) + indexBlockSize >
        std::uint64_t(file.GetSize()) - file.Tell())
        return fail("vertex and index blocks past the end of the file");
    std::vector<std::uint8_t> vertexBlock(vertexBlockSize);
    std::vector<std::uint8_t> indexBlock(indexBlockSize);
    if (!ReadExact(file, vertexBlock.data(), vertexBlockSize) ||
        !ReadExact(file, indexBlock.data(), indexBlockSize))
        return fail("vertex and index blocks past the end of the file");

    const auto fits = [&](std::uint32_t offset, std::uint32_t elementBytes) {
        return std::uint64_t(offset) + std::uint64_t(elementBytes) * vertexCount <= vertexBlockSize;
    };
    if (vertexCount && !fits(0, 12))
        return fail("positions past the vertex block");
    if (normalOffset && !fits(normalOffset, 12))
        return fail("normals past the vertex block");
    if (uvOffset && !fits(uvOffset, 8))
        return fail("texture coordinates past the vertex block");
    if (colourOffset && !fits(colourOffset, 4))
        return fail("colours past the vertex block");
    const std::uint32_t indexCount = indexBlockSize / 4;
    std::vector<std::uint32_t> indices(indexCount);
    for (std::uint32_t i = 0; i < indexCount; ++i) {
        indices[i] = RecordWord(indexBlock.data(), 4 * std::size_t(i));
        if (indices[i] >= vertexCount)
            return fail("an index past the vertices");
    }
    for (const auto& group : groups)
        for (const RenderGroupEntry& entry : group->entries)
            if (entry.start % 4 != 0 ||
                std::uint64_t(entry.start / 4) + entry.indexCount > indexCount)
                return fail("a render group entry outside the index array");

    // Everything is checked: fill the mesh.
    name_ = name;
    vertexCount_ = vertexCount;
    VertexData& data = *vertexData_;
    data.ClearComponents();
    data.SetVertexCount(vertexCount);
    data.SetDirty(true);
    sharedVertex_ = nullptr;
    sharedIndex_ = nullptr;
    groups_ = std::move(groups);
    currentGroup_ = groups_.empty() ? nullptr : groups_.front().get();

    const std::uint8_t* block = vertexBlock.data();
    const auto copyFloats = [&](std::uint32_t semantic, std::uint32_t type, std::uint32_t offset) {
        VertexComponentDataPool* c = data.AddComponent(semantic, type, vertexCount);
        if (c)
            std::memcpy(c->GetData(), block + offset, c->GetDataSize());
        return c;
    };
    if (vertexCount) {
        copyFloats(VF_POSITION, VET_FLOAT3, 0);
        if (normalOffset)
            copyFloats(VF_NORMAL, VET_FLOAT3, normalOffset);
        if (uvOffset) {
            if (VertexComponentDataPool* uv = copyFloats(VF_TEXCOORD0, VET_FLOAT2, uvOffset)) {
                float* t = uv->GetFloats();
                for (std::uint32_t v = 0; v < vertexCount; ++v) t[2 * v + 1] = 1.0f - t[2 * v + 1];
            }
        }
        if (colourOffset) {
            const bool packed = SceneIsDX7Mode();
            VertexComponentDataPool* c = data.AddComponent(
                packed ? VF_DIFFUSE : VF_COLOUR, packed ? VET_UBYTE4 : VET_FLOAT4, vertexCount);
            for (std::uint32_t v = 0; c && v < vertexCount; ++v) {
                const std::uint32_t red_low = RecordWord(block, colourOffset + 4 * std::size_t(v));
                if (packed) {
                    // The file keeps red in the low byte; the packed semantic is ARGB.
                    c->GetWords()[v] =
                        (red_low & 0xFF00FF00u) | (red_low & 0xFFu) << 16 | (red_low >> 16 & 0xFFu);
                } else {
                    ColorFromABGR(red_low, c->GetFloats() + 4 * std::size_t(v));
                }
            }
        }
    }
    bounds_.SetMinMax(boxMin, boxMax);

    IndexData& index = *indexData_;
    index.AllocateIndices(indexCount);
    if (indexCount)
        std::memcpy(index.GetIndices(), indices.data(), std::size_t(indexCount) * 4);
    return index.CreateBuffer(DeviceUses32BitIndices() ? IS_32BIT : IS_16BIT,
                              BU_STATIC | BU_WRITE_ONLY);
}

RenderOperation* Mesh::GetRenderOperation(RenderOperation* operation) {
    if (operation)
        operation->primitiveType = 5;
    return operation;
}

}  // namespace Zel
