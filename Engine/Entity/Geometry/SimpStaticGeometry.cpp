#include "Entity/Geometry/SimpStaticGeometry.h"

#include "Core/Globals.h"
#include "Entity/Geometry/LevelDescriptionLoad.h"
#include "Entity/Geometry/MeshSerializer.h"

namespace Zel {

SimpStaticGeometry::SimpStaticGeometry(CResourceManager* manager, std::string_view name,
                                       std::string_view group, std::uint32_t handle)
    : Geometry(manager, name, group, handle) {}

SimpStaticGeometry::~SimpStaticGeometry() = default;

bool SimpStaticGeometry::LoadImpl() {
    MeshSerializer* serializer = Globals::Find(&Globals::GetMeshSerializer);
    const auto read = [&](const std::string& meshFile) {
        return serializer && serializer->LoadGeometry(*this, meshFile);
    };
    if (LoadLevelDescription(GetLoadPath(), 0, "SimpStaticGeometry", read, materialFiles_))
        return true;
    UnloadImpl();
    return false;
}

}  // namespace Zel
