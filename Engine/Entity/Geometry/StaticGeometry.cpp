#include "Entity/Geometry/StaticGeometry.h"

#include <algorithm>
#include <cstring>

#include "Core/Globals.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/LevelDescriptionLoad.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/MeshSerializer.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Render/RenderCodes.h"

namespace Zel {

StaticGeometry::StaticGeometry(CResourceManager* manager, std::string_view name,
                               std::string_view group, std::uint32_t handle)
    : Geometry(manager, name, group, handle) {}

StaticGeometry::~StaticGeometry() {
    StaticGeometry::UnloadImpl();
}

std::uint32_t StaticGeometry::CalculateSize() {
    std::uint64_t size = Geometry::CalculateSize();
    if (!faceData_.empty())
        size += 16ull * faceTotal_;
    if (!positions_.empty())
        size += 12ull * vertexTotal_;
    if (!triangles_.empty())
        size += 12ull * faceTotal_;
    if (!faceWords_.empty())
        size += 4ull * faceTotal_;
    size += 20ull * ranges_.size() + 76ull * occluders_.size();
    for (const auto& runs : visibleRuns_) size += 88 + 8ull * runs.size();
    const auto stored = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, 0xFFFFFFFFu));
    SetSizeField(stored);
    return stored;
}

bool StaticGeometry::LoadImpl() {
    MeshSerializer* serializer = Globals::Find(&Globals::GetMeshSerializer);
    const auto read = [&](const std::string& meshFile) {
        return serializer && serializer->LoadGeometry(*this, meshFile);
    };
    if (LoadLevelDescription(GetLoadPath(), kSkipMeshSwitch, "StaticGeometry", read,
                             materialFiles_))
        return true;
    UnloadImpl();
    return false;
}

void StaticGeometry::UnloadImpl() {
    Geometry::UnloadImpl();
    positions_ = {};
    faceData_ = {};
    triangles_ = {};
    faceWords_ = {};
    // A reload gathers them again.
    ranges_.clear();
    occluders_.clear();
    parts_.clear();
    visibleRuns_.clear();
}

void StaticGeometry::GatherTriangles() {
    positions_.assign(std::size_t(vertexTotal_) * 3, 0.0f);
    faceData_.assign(std::size_t(faceTotal_) * 4, 0.0f);
    triangles_.assign(std::size_t(faceTotal_) * 3, 0);
    faceWords_.assign(faceTotal_, 0);
    ranges_.clear();
    std::uint32_t firstFace = 0, firstVertex = 0;
    for (std::uint32_t i = 0; i < GetMeshCount(); ++i) {
        Mesh* mesh = GetMesh(i);
        if (!mesh)
            continue;
        // The totals were summed from the same meshes; a mesh beyond them is left out.
        const std::uint32_t faces = std::min(mesh->GetFaceCount(), faceTotal_ - firstFace);
        const std::uint32_t vertices = std::min(mesh->GetVertexCount(), vertexTotal_ - firstVertex);
        mesh->SetWord(0, firstFace);
        mesh->SetWord(1, firstVertex);
        mesh->SetWord(2, i);

        std::vector<std::uint32_t>& extra = mesh->GetFaceExtraData();
        for (std::uint32_t f = 0; f < faces && 3 * std::size_t(f) + 2 < extra.size(); ++f)
            std::memcpy(&faceData_[4 * (std::size_t(firstFace) + f)], &extra[3 * std::size_t(f)],
                        3 * sizeof(float));
        extra = {};

        const VertexData* data = mesh->GetVertexData();
        const VertexComponentDataPool* position = data ? data->FindComponent(VF_POSITION) : nullptr;
        if (position && position->GetFloats())
            std::copy_n(position->GetFloats(),
                        3 * std::size_t(std::min(vertices, position->GetCount())),
                        &positions_[3 * std::size_t(firstVertex)]);

        // The 32-bit copy: a 16-bit buffer would cut indices above 65,535.
        const IndexData* index = mesh->GetIndexData();
        const std::uint32_t* source = index ? index->GetIndices() : nullptr;
        const std::size_t count =
            source ? std::min<std::size_t>(index->GetArraySize(), 3 * std::size_t(faces)) : 0;
        for (std::size_t k = 0; k < count; ++k)
            triangles_[3 * std::size_t(firstFace) + k] = source[k] + firstVertex;

        ranges_.push_back({i, firstVertex, firstFace, vertices, faces});
        firstFace += faces;
        firstVertex += vertices;
    }
}

std::int32_t StaticGeometry::FindMeshOfTriangle(std::uint32_t face) const {
    for (std::size_t r = 0; r < ranges_.size(); ++r) {
        const TriangleRange& range = ranges_[r];
        const std::uint64_t end = r + 1 < ranges_.size()
                                      ? ranges_[r + 1].firstFace
                                      : std::uint64_t(range.firstFace) + range.faceCount;
        if (face >= range.firstFace && face < end)
            return static_cast<std::int32_t>(range.meshIndex);
    }
    return -1;
}

const TriangleRange& StaticGeometry::GetTriangleRange(std::uint32_t i) const {
    static const TriangleRange kNone;
    return i < ranges_.size() ? ranges_[i] : kNone;
}

void StaticGeometry::RebuildVisibleIndices(const std::vector<std::vector<const IndexRun*>>& runs,
                                           std::uint32_t i) {
    HideMesh(i);
    Mesh* mesh = GetMesh(i);
    if (mesh && i < runs.size() && !runs[i].empty())
        mesh->FillIndexRuns(runs[i]);
}

}  // namespace Zel
