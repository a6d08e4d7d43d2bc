// The morph-animated (deformed) geometry from ASE scenes and the seam welding between skinned
// models.
#include "Entity/Geometry/MeshSerializer.h"

#include <algorithm>
#include <memory>

#include "Core/LogDispatch.h"
#include "Entity/Geometry/Ase/AseMaterial.h"
#include "Entity/Geometry/Ase/AseObject.h"
#include "Entity/Geometry/Ase/AseReader.h"
#include "Entity/Geometry/Ase/AseScene.h"
#include "Entity/Geometry/Ase/AseStripSet.h"
#include "Entity/Geometry/Ase/AseStrips.h"
#include "Entity/Geometry/DeformedMesh.h"
#include "Entity/Geometry/GeometryDeformed.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/Skin.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Scene/Entity.h"
#include "Render/RenderCodes.h"

namespace Zel {

namespace {

// A scene without frame settings plays at 30 frames a second of 160 ticks each.
constexpr std::int32_t kMorphFrameSpeed = 30;
constexpr std::int32_t kMorphTicksPerFrame = 160;
// Seam vertices closer than this (squared distance) are one vertex.
constexpr float kSeamTolerance = 1e-6f;
constexpr float kUnusedInfluence = 0.0001f;

std::uint32_t IndexCountOf(const Mesh* mesh) {
    const IndexData* indices = mesh ? mesh->GetIndexData() : nullptr;
    return indices ? indices->GetIndexCount() : 0;
}

const float* PositionOf(const Mesh& mesh, std::uint32_t v) {
    const VertexData* data = mesh.GetVertexData();
    const VertexComponentDataPool* p = data ? data->FindComponent(VF_POSITION) : nullptr;
    if (!p || !p->GetData() || v >= p->GetCount() || p->GetElementSize() < 12)
        return nullptr;
    return p->GetFloats() + std::size_t(v) * (p->GetElementSize() / 4);
}

float DistanceSquared(const float* a, const float* b) {
    const float d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    return d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
}

// b's record of vertex vb becomes a's record of va when every used bone of it has a slot in b's
// palette (appended when missing); then b's blend components follow.
void WeldBlend(const Skin& a, std::uint32_t va, Skin& b, std::uint32_t vb) {
    if (va >= a.GetBlendRecords().size() || vb >= b.GetBlendRecords().size())
        return;
    const SkinBlendRecord& record = a.GetBlendRecords()[va];
    const std::int32_t count = std::clamp(record.count, 0, 4);
    for (std::int32_t k = 0; k < count; ++k)
        if (record.weights[k] != 0.0f && !b.AddPaletteBone(record.bones[k]))
            return;
    b.GetBlendRecords()[vb] = record;
    VertexData* data = b.GetVertexData();
    VertexComponentDataPool* weights = data ? data->FindComponent(VF_BLEND_WEIGHTS) : nullptr;
    VertexComponentDataPool* indices = data ? data->FindComponent(VF_BLEND_INDICES) : nullptr;
    if (!weights || !indices || !weights->GetData() || !indices->GetData() ||
        vb >= weights->GetCount() || vb >= indices->GetCount() || weights->GetElementSize() < 16 ||
        indices->GetElementSize() < 16)
        return;
    const std::int32_t boneZero = std::max(b.FindPaletteIndex(0), 0);
    float* w = weights->GetFloats() + std::size_t(vb) * 4;
    float* slot = indices->GetFloats() + std::size_t(vb) * 4;
    for (std::int32_t k = 0; k < 4; ++k) {
        w[k] = record.weights[k];
        const std::int32_t found =
            record.weights[k] < kUnusedInfluence ? boneZero : b.FindPaletteIndex(record.bones[k]);
        slot[k] = static_cast<float>(std::max(found, 0));
    }
}

void WeldMeshes(Mesh& a, Mesh& b) {
    const std::uint32_t* seamA = a.GetOpenEdgeVertices();
    const std::uint32_t* seamB = b.GetOpenEdgeVertices();
    if (!seamA || !seamB || !PositionOf(a, 0) || !PositionOf(b, 0))
        return;
    struct Pair {
        std::uint32_t a, b;
    };
    std::vector<Pair> pairs;
    pairs.reserve(100);
    for (std::uint32_t i = 0; i < a.GetOpenEdgeVertexCount(); ++i) {
        const float* pa = PositionOf(a, seamA[i]);
        for (std::uint32_t j = 0; pa && j < b.GetOpenEdgeVertexCount(); ++j) {
            const float* pb = PositionOf(b, seamB[j]);
            if (pb && DistanceSquared(pa, pb) < kSeamTolerance)
                pairs.push_back({seamA[i], seamB[j]});
        }
    }
    if (pairs.empty())
        return;
    for (const Pair& pair : pairs)
        std::copy_n(PositionOf(a, pair.a), 3, const_cast<float*>(PositionOf(b, pair.b)));
    const auto* skinA = dynamic_cast<const Skin*>(&a);
    auto* skinB = dynamic_cast<Skin*>(&b);
    if (skinA && skinB)
        for (const Pair& pair : pairs) WeldBlend(*skinA, pair.a, *skinB, pair.b);
    b.GetVertexData()->SetDirty(true);
}

}  // namespace

std::uint32_t MeshSerializer::BuildStripMeshesIntoGeometry(const AseObject& object,
                                                           const AseMaterials& materials,
                                                           Geometry& geometry,
                                                           std::vector<Mesh*>& meshes) {
    std::uint32_t made = 0;
    if (!object.strips)
        return made;
    for (const std::unique_ptr<AseStripSet>& set : object.strips->sets) {
        if (set->vertexCount <= 0 || set->positions.empty())
            continue;
        Mesh* mesh = geometry.AddMesh();
        if (!mesh || !FillStripMesh(*mesh, *set, object, materials))
            break;
        geometry.GetBounds().Merge(mesh->GetBounds());
        meshes.push_back(mesh);
        ++made;
    }
    return made;
}

void MeshSerializer::BuildDeformedMeshes(const AseObject& object, const AseMaterials& materials,
                                         double ticksPerSecond, GeometryDeformed& geometry) {
    if (object.morphFrames.empty() || !(ticksPerSecond > 0.0))
        return;
    const std::string name = object.name.value_or(std::string());
    const double origin = object.morphFrames.front()->timeValue;
    std::vector<DeformedMesh*> targets;
    std::vector<std::uint32_t> previousCounts;
    for (const std::unique_ptr<AseObject>& frame : object.morphFrames) {
        if (!frame || frame->vertexCount <= 0)
            continue;
        std::vector<Mesh*> meshes;
        BuildStripMeshesIntoGeometry(*frame, materials, geometry, meshes);
        if (targets.empty()) {
            for (std::size_t k = 0; k < meshes.size(); ++k) {
                auto* target = dynamic_cast<DeformedMesh*>(geometry.AddNamedMesh(name));
                if (!target)
                    break;
                targets.push_back(target);
                geometry.AddMorphTarget(target);
            }
            previousCounts.assign(targets.size(), 0);
        }
        const auto time = static_cast<float>((frame->timeValue - origin) / ticksPerSecond);
        for (std::size_t k = 0; k < std::min(meshes.size(), targets.size()); ++k) {
            auto key = std::make_unique<DeformedMesh::Key>();
            key->time = time;
            key->mesh = meshes[k];
            const std::uint32_t count = IndexCountOf(meshes[k]);
            key->blend = !targets[k]->GetKeys().empty() && count == previousCounts[k];
            previousCounts[k] = count;
            targets[k]->AddKey(std::move(key));
        }
    }
    for (DeformedMesh* target : targets) {
        target->FinishLoad();
        target->BuildSubMeshes();
    }
}

bool MeshSerializer::LoadDeformedFromAse(GeometryDeformed& geometry, const std::string& path) {
    std::unique_ptr<AseScene> scene = LoadAseScene(path, 1.0f, true);
    if (!scene) {
        LogTyped(LOG_ENGINE_INIT, "%s", ("读取ase文件失败，fn=" + path).c_str());
        return false;
    }
    const std::int32_t frameSpeed = scene->frameSpeed > 0 ? scene->frameSpeed : kMorphFrameSpeed;
    const std::int32_t ticksPerFrame =
        scene->ticksPerFrame > 0 ? scene->ticksPerFrame : kMorphTicksPerFrame;
    for (const std::unique_ptr<AseObject>& object : scene->objects)
        if (object && !object->morphFrames.empty())
            BuildDeformedMeshes(*object, scene->materials, double(ticksPerFrame) * frameSpeed,
                                geometry);
    geometry.SetMorph(float(double(scene->lastFrame - scene->firstFrame) / frameSpeed), true);
    FreeAseScene(std::move(scene));
    geometry.UpdateBounds();
    return true;
}

bool WeldDeformedSeams(Entity* a, Entity* b) {
    Geometry* ga = a ? a->GetGeometry() : nullptr;
    Geometry* gb = b ? b->GetGeometry() : nullptr;
    if (!ga || !gb)
        return false;
    for (std::uint32_t i = 0; i < ga->GetMeshCount(); ++i)
        for (std::uint32_t j = 0; j < gb->GetMeshCount(); ++j) {
            Mesh* ma = ga->GetMesh(i);
            Mesh* mb = gb->GetMesh(j);
            if (ma && mb && ma != mb)
                WeldMeshes(*ma, *mb);
        }
    return true;
}

}  // namespace Zel
