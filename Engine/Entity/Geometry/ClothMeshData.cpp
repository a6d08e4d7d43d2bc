#include "Entity/Geometry/ClothMeshData.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Entity/Geometry/Ase/AseObject.h"
#include "Entity/Geometry/Ase/AseScene.h"
#include "Entity/Geometry/Ase/AseStripSet.h"
#include "Entity/Geometry/Ase/AseStrips.h"
#include "Entity/Geometry/Ase/AseMaterial.h"
#include "Entity/Geometry/MeshSerializer.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Math/RSqrtTable.h"
#include "Render/RenderCodes.h"

namespace Zel {

namespace {

bool Near(const float* a, const float* b, float limit) {
    return std::fabs(a[0] - b[0]) <= limit && std::fabs(a[1] - b[1]) <= limit &&
           std::fabs(a[2] - b[2]) <= limit;
}

}  // namespace

float ClothDistance(const float* a, const float* b) {
    const float dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
    const float d = dx * dx + dy * dy + dz * dz;
    return FastSqrt(d);
}

ClothMeshData::ClothMeshData(Geometry* owner, std::string name)
    : Mesh(owner, std::move(name), true, true) {}

ClothMeshData::~ClothMeshData() = default;

std::uint32_t ClothMeshData::GetMemorySize() const {
    std::uint64_t bytes = Mesh::GetMemorySize() + 12ull * welded_.size() +
                          4ull * physicsTriangles_.size() + 9ull * physicsMap_.size() +
                          kRecordBytes * records_.size() + 12ull * secondPoints_.size() +
                          4ull * secondIndices_.size();
    for (const auto& mesh : subMeshes_) bytes += mesh->GetMemorySize();
    for (const auto& mesh : helperMeshes_) bytes += mesh->GetMemorySize();
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes, 0xFFFFFFFFu));
}

void ClothMeshData::ReleaseRenderData() {
    welded_.clear();
    physicsTriangles_.clear();
    physicsMap_.clear();
    pinned_.clear();
    weights_.clear();
    attachments_.clear();
    subMeshes_.clear();
    subMeshOffsets_.clear();
    helperMeshes_.clear();
    secondPoints_.clear();
    secondIndices_.clear();
    records_.clear();
    Mesh::ReleaseRenderData();
}

void ClothMeshData::AddSubMesh(std::unique_ptr<Mesh> mesh) {
    std::uint32_t offset = 0;
    if (!subMeshes_.empty())
        offset = subMeshOffsets_.back() + subMeshes_.back()->GetVertexCount();
    subMeshOffsets_.push_back(offset);
    subMeshes_.push_back(std::move(mesh));
}

bool ClothMeshData::Build(const AseObject& object, const AseScene& scene,
                          const std::string& skeletonName, std::int32_t partIndex,
                          const float* atlasRect) {
    partIndex_ = partIndex;
    if (object.vertices.empty() || object.faces.empty())
        return false;
    MeshSerializer* serializer = Globals::Find(&Globals::GetMeshSerializer);
    if (!serializer)
        return false;
    std::vector<std::unique_ptr<Mesh>> meshes;
    bool weighted = object.weightCount > 0;
    if (object.strips)
        for (const auto& set : object.strips->sets)
            weighted = weighted || !set->vertexWeights.empty();
    if (!skeletonName.empty() && weighted)
        serializer->BuildClothSkinMeshes(object, scene.materials, skeletonName, meshes);
    else
        serializer->BuildStripMeshList(object, scene.materials, meshes, false);
    if (meshes.empty())
        return false;
    for (auto& mesh : meshes) {
        VertexData* data = mesh->GetVertexData();
        VertexComponentDataPool* uv = data ? data->FindComponent(VF_TEXCOORD0) : nullptr;
        if (uv && uv->type == VET_FLOAT2 && uv->GetData()) {
            float* t = uv->GetFloats();
            for (std::uint32_t i = 0; i + 1 < uv->GetDataSize() / 4; i += 2) {
                t[i] = atlasRect[0] + t[i] * atlasRect[2];
                t[i + 1] = 1.0f - ((1.0f - t[i + 1]) * atlasRect[3] + atlasRect[1]);
            }
            data->SetDirty(true);
        }
        AddSubMesh(std::move(mesh));
    }
    welded_.assign(object.vertices.begin(), object.vertices.end());
    physicsTriangles_.clear();
    const std::size_t corners = 3 * static_cast<std::size_t>(object.faceCount);
    for (std::size_t i = 0; i < corners && i < object.faces.size(); ++i)
        physicsTriangles_.push_back(static_cast<std::uint32_t>(object.faces[i]));
    WeldVertices();
    MapRenderVertices();
    return true;
}

void ClothMeshData::WeldVertices() {
    const std::size_t n = welded_.size();
    std::vector<std::uint32_t> representative(n);
    for (std::size_t i = 0; i < n; ++i) representative[i] = static_cast<std::uint32_t>(i);
    for (std::size_t i = 0; i < n; ++i) {
        if (representative[i] != i)
            continue;
        for (std::size_t j = i + 1; j < n; ++j)
            if (representative[j] == j && Near(welded_[i].data(), welded_[j].data(), kWeldDistance))
                representative[j] = static_cast<std::uint32_t>(i);
    }
    std::vector<std::uint32_t> renumbered(n);
    std::vector<Float3> kept;
    for (std::size_t i = 0; i < n; ++i) {
        if (representative[i] == i) {
            renumbered[i] = static_cast<std::uint32_t>(kept.size());
            kept.push_back(welded_[i]);
        }
    }
    for (std::size_t i = 0; i < n; ++i) renumbered[i] = renumbered[representative[i]];
    // A triangle naming a vertex past the array is kept on vertex 0 rather than read past it.
    for (std::uint32_t& v : physicsTriangles_) v = v < n ? renumbered[v] : 0;
    welded_ = std::move(kept);
}

void ClothMeshData::MapRenderVertices() {
    physicsMap_.clear();
    pinned_.clear();
    weights_.clear();
    const float scale = params_[WEIGHT_SCALE];
    for (const auto& mesh : subMeshes_) {
        const VertexData* data = mesh->GetVertexData();
        const std::uint32_t n = mesh->GetVertexCount();
        const VertexComponentDataPool* pos = data ? data->FindComponent(VF_POSITION) : nullptr;
        const VertexComponentDataPool* colour = data ? data->FindComponent(VF_COLOUR) : nullptr;
        const VertexComponentDataPool* packed = data ? data->FindComponent(VF_DIFFUSE) : nullptr;
        for (std::uint32_t v = 0; v < n; ++v) {
            std::uint32_t index = 0;
            if (pos && pos->GetData() && 12ull * (v + 1) <= pos->GetDataSize()) {
                const float* p = pos->GetFloats() + 3 * v;
                for (std::size_t w = 0; w < welded_.size(); ++w) {
                    if (Near(p, welded_[w].data(), kMapDistance)) {
                        index = static_cast<std::uint32_t>(w);
                        break;
                    }
                }
            }
            float weight = 0.5f * scale;
            if (colour && colour->GetData() && 16ull * (v + 1) <= colour->GetDataSize())
                weight = colour->GetFloats()[4 * v] * scale;
            else if (packed && packed->GetData() && 4ull * (v + 1) <= packed->GetDataSize())
                weight = static_cast<float>(packed->GetData()[4 * v]) / 255.0f * scale;
            physicsMap_.push_back(index);
            pinned_.push_back(0);
            weights_.push_back(std::clamp(weight, 0.0f, 1.0f));
        }
    }
}

void ClothMeshData::BuildAttachments(const std::vector<Float3>& points) {
    if (points.empty())
        LogTyped(LOG_ENGINE_INIT, "没有发现任何挂结点！");
    for (const Float3& point : points) {
        std::int64_t chosen = -1;
        for (std::size_t w = 0; w < welded_.size(); ++w)
            if (ClothDistance(point.data(), welded_[w].data()) < kAttachDistance)
                chosen = static_cast<std::int64_t>(w);
        if (chosen < 0)
            continue;
        for (std::uint32_t s = 0; s < subMeshes_.size(); ++s) {
            const std::uint32_t first = subMeshOffsets_[s];
            const std::uint32_t n = subMeshes_[s]->GetVertexCount();
            for (std::uint32_t v = 0; v < n && first + v < physicsMap_.size(); ++v) {
                if (physicsMap_[first + v] != chosen)
                    continue;
                pinned_[first + v] = 1;
                ClothAttachment a;
                a.subMesh = s;
                a.renderVertex = v;
                a.position = welded_[chosen];
                a.weldedIndex = static_cast<std::uint32_t>(chosen);
                attachments_.push_back(a);
                break;
            }
        }
    }
}

PhxClothSource ClothMeshData::GetPhysicsSource() const {
    static_assert(sizeof(Float3) == 3 * sizeof(float), "welded positions are packed floats");
    PhxClothSource source;
    source.positions = welded_.empty() ? nullptr : welded_.front().data();
    source.indices = physicsTriangles_.empty() ? nullptr : physicsTriangles_.data();
    source.vertexCount = static_cast<std::int32_t>(welded_.size());
    source.triangleCount = static_cast<std::int32_t>(physicsTriangles_.size() / 3);
    source.damping = params_[DAMPING];
    source.density = params_[DENSITY];
    source.friction = params_[FRICTION];
    source.stretchingStiffness = params_[STRETCH];
    source.thickness = params_[THICKNESS];
    return source;
}

}  // namespace Zel
