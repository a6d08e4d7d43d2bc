#include "Entity/Geometry/GeometryDeformed.h"

#include "Core/ChunkStream.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/IZelFileStream.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Core/StreamFactory.h"
#include "Entity/Geometry/DeformedMesh.h"
#include "Entity/Geometry/GeometryDescription.h"
#include "Entity/Geometry/IODeformedBin.h"
#include "Entity/Geometry/MeshSerializer.h"
#include "Entity/Geometry/ModelDescriptionParser.h"
#include "Entity/Geometry/StreamHolder.h"

namespace Zel {

GeometryDeformed::GeometryDeformed(CResourceManager* manager, std::string_view name,
                                   std::string_view group, std::uint32_t handle)
    : Geometry(manager, name, group, handle) {}

GeometryDeformed::~GeometryDeformed() {
    GeometryDeformed::UnloadImpl();
}

std::uint32_t GeometryDeformed::CalculateSize() {
    std::uint64_t size = Geometry::CalculateSize();
    for (const DeformedMesh* target : targets_) size += target->GetMemorySize();
    const auto clamped = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, 0xFFFFFFFFu));
    SetSizeField(clamped);
    return clamped;
}

std::unique_ptr<Mesh> GeometryDeformed::CreateMesh(const std::string& name) {
    return std::make_unique<DeformedMesh>(this, name);
}

void GeometryDeformed::UnloadImpl() {
    morphValue_ = 0.0f;
    morphFlag_ = false;
    targets_.clear();
    Geometry::UnloadImpl();
}

DeformedMesh* GeometryDeformed::GetMorphTarget(std::uint32_t i) const {
    return i < targets_.size() ? targets_[i] : nullptr;
}

bool GeometryDeformed::LoadBinaryDeformed() {
    return ReadChunkFile(GetLoadPath(), [this](IZelStream* stream) {
        return IOGeometryDeformed::Read(*this, stream, GetDirectory(GetLoadPath()));
    });
}

bool GeometryDeformed::LoadImpl() {
    const auto binary = [this] { return LoadBinaryDeformed(); };
    const std::string path = GetLoadPath();
    if (StringContains(path, ".an3") || StringContains(path, ".AN3"))
        return TryRoad(binary);
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (config && config->PreferBinaryFiles()) {
        SetLoadPath(ReplaceExtension(path, ".an3"));
        const bool ok = TryRoad(binary);
        SetLoadPath(path);
        if (ok)
            return true;
    }
    GeometryDescription description;
    MeshSerializer* serializer = Globals::Find(&Globals::GetMeshSerializer);
    if (!ParseDeformedDescription(path, description) || !serializer)
        return false;
    if (!TryRoad([&] { return serializer->LoadDeformedFromAse(*this, description.meshFile); }))
        return false;
    GetMaterialFiles().insert(GetMaterialFiles().end(), description.materialFiles.begin(),
                              description.materialFiles.end());
    return true;
}

}  // namespace Zel
