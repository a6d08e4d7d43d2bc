// The level half of MeshSerializer: meshes from the binary level mesh file.
#include "Entity/Geometry/MeshSerializer.h"

#include <algorithm>
#include <cstring>

#include "Entity/Geometry/LevelMeshData.h"
#include "Entity/Geometry/LevelMeshReader.h"
#include "Entity/Geometry/LodStripArray.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/MeshBuildHelpers.h"
#include "Entity/Geometry/MeshComponents.h"
#include "Entity/Geometry/MeshData.h"
#include "Entity/Geometry/SimpStaticGeometry.h"
#include "Entity/Geometry/StaticGeometry.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Render/RenderCodes.h"

namespace Zel {

namespace {

constexpr std::uint32_t kLevelIndexUsage = BU_DYNAMIC | BU_WRITE_ONLY | BU_NOT_MANAGED;

std::uint32_t Clamp32(std::uint64_t value) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(value, 0xFFFFFFFFu));
}

}  // namespace

bool MeshSerializer::BuildLevelMeshes(Geometry& geometry, const LevelMeshData& level,
                                      bool indexShadow) {
    const bool packed = SceneIsDX7Mode();
    for (std::size_t i = 0; i < level.meshes.size(); ++i) {
        const LevelMeshBlock& block = level.meshes[i];
        Mesh& mesh = *geometry.AddMeshAt(static_cast<std::uint32_t>(i));
        mesh.SetMaterialName(block.material);
        mesh.SetFaceCount(block.faceCount);
        mesh.SetVertexCount(block.vertexCount);
        mesh.GetTriangles() = block.triangles;

        const std::uint32_t indexCount = 3 * block.faceCount;
        auto group = std::make_unique<LodStripArray>();
        group->entries.push_back({PT_TRIANGLE_LIST, indexCount, indexCount, 0, 0});
        group->value = block.faceCount;
        mesh.AddRenderGroup(std::move(group));
        if (!FillMeshIndices(mesh, block.triangles, kLevelIndexUsage, indexShadow))
            return false;

        const std::uint32_t v = block.vertexCount;
        MeshComponents out(*mesh.GetVertexData(), v, packed, !block.normals.empty(),
                           !block.texCoords0.empty(), block.colourCount != 0);
        if (!out.Complete())
            return false;
        if (v > 0) {
            std::copy(block.positions.begin(), block.positions.end(), out.positions);
            mesh.GetBoundsForUpdate().Merge(block.bounds);
            geometry.GetBounds().Merge(block.bounds);
        }
        if (out.colours)
            for (std::uint32_t c = 0; 3 * std::size_t(c) + 2 < block.colours.size(); ++c) {
                const float* rgb = &block.colours[3 * std::size_t(c)];
                const float rgba[4] = {rgb[0], rgb[1], rgb[2], 1.0f};
                out.PutColour(c, rgba);
            }
        if (out.texCoords)
            std::copy(block.texCoords0.begin(), block.texCoords0.end(), out.texCoords);
        if (!block.texCoords1.empty() && v > 0) {
            VertexComponentDataPool* second =
                mesh.GetVertexData()->AddComponent(VF_TEXCOORD1, VET_FLOAT2, v);
            if (!second || !second->GetData())
                return false;
            std::copy(block.texCoords1.begin(), block.texCoords1.end(), second->GetFloats());
        }
        if (!block.faceVectors.empty()) {
            std::vector<std::uint32_t>& extra = mesh.GetFaceExtraData();
            extra.resize(block.faceVectors.size());
            std::memcpy(extra.data(), block.faceVectors.data(), extra.size() * sizeof(float));
        }
        if (out.normals)
            std::copy(block.normals.begin(), block.normals.end(), out.normals);
    }
    return true;
}

bool MeshSerializer::ReadLevelMeshes(Geometry& geometry, const std::string& path,
                                     bool withOccluders, bool indexShadow, LevelMeshData& level) {
    return LoadLevelMesh(path, level, withOccluders) &&
           BuildLevelMeshes(geometry, level, indexShadow);
}

bool MeshSerializer::LoadGeometry(StaticGeometry& geometry, const std::string& path) {
    LevelMeshData level;
    if (!ReadLevelMeshes(geometry, path, true, geometry.UsesIndexShadow(), level))
        return false;
    geometry.SetTotals(Clamp32(level.faceTotal), Clamp32(level.vertexTotal));
    geometry.GatherTriangles();
    geometry.GetOccluders().insert(geometry.GetOccluders().end(), level.occluders.begin(),
                                   level.occluders.end());
    geometry.UpdateBounds();
    return true;
}

bool MeshSerializer::LoadGeometry(SimpStaticGeometry& geometry, const std::string& path) {
    LevelMeshData level;
    if (!ReadLevelMeshes(geometry, path, false, geometry.UsesIndexShadow(), level))
        return false;
    geometry.SetTotals(Clamp32(level.faceTotal), Clamp32(level.vertexTotal));
    geometry.CalculateSize();
    geometry.UpdateBounds();
    return true;
}

}  // namespace Zel
