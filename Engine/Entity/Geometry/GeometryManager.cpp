#include "Entity/Geometry/GeometryManager.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Core/PathUtils.h"
#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/GeometryActor.h"
#include "Entity/Geometry/GeometryBodyPart.h"
#include "Entity/Geometry/GeometryCloth.h"
#include "Entity/Geometry/GeometryDeformed.h"
#include "Entity/Geometry/GeometrySkin.h"
#include "Entity/Geometry/GeometryKind.h"
#include "Entity/Geometry/SimpStaticGeometry.h"
#include "Entity/Geometry/StaticGeometry.h"

namespace Zel {

namespace {

using GeometryCreator = Geometry* (*)(CResourceManager* manager, std::string_view name,
                                      std::string_view group, std::uint32_t handle);

template <class T>
Geometry* Make(CResourceManager* manager, std::string_view name, std::string_view group,
               std::uint32_t handle) {
    return new T(manager, name, group, handle);
}

// The class each kind creates.
constexpr GeometryCreator kCreators[GEOMETRY_KIND_COUNT] = {
    &Make<Geometry>,            // 0 ".dml"
    &Make<Geometry>,            // 1 ".dm2"
    &Make<Geometry>,            // 2 ".dm3"
    &Make<StaticGeometry>,      // 3
    &Make<GeometrySkin>,        // 4
    &Make<GeometrySkin>,        // 5
    &Make<GeometrySkin>,        // 6
    &Make<GeometryDeformed>,    // 7
    &Make<GeometryDeformed>,    // 8
    &Make<GeometryDeformed>,    // 9
    &Make<GeometryActor>,       // 10
    &Make<GeometryActor>,       // 11
    &Make<GeometryActor>,       // 12
    &Make<GeometryCloth>,       // 13
    &Make<GeometryCloth>,       // 14
    &Make<GeometryBodyPart>,    // 15
    &Make<GeometryBodyPart4>,   // 16
    &Make<GeometryBodyPart5>,   // 17
    &Make<GeometryNewCloth>,    // 18
    &Make<SimpStaticGeometry>,  // 19
};

}  // namespace

GeometryManager::GeometryManager() {
    RegisterType("Geometry");
}

GeometryManager::~GeometryManager() {
    RemoveAll();
}

CResource* GeometryManager::CreateImpl(std::string_view name, std::string_view source) {
    return CreateByKind(name, source, GEOMETRY_KIND_DML);
}

void GeometryManager::RemoveAll() {
    std::vector<CResource*> actors;
    ForEachActive([&](const std::string&, CResource* resource) {
        if (static_cast<Geometry*>(resource)->GetKind() == GEOMETRY_KIND_ACT)
            actors.push_back(resource);
        return true;
    });
    for (CResource* actor : actors) DestroyResource(actor);
    CResourceManager::RemoveAll();
}

Geometry* GeometryManager::GetOrLoadByKind(std::string_view name, std::string_view path,
                                           std::uint32_t kind) {
    auto* geometry = static_cast<Geometry*>(GetByName(name));
    if (!geometry)
        geometry = GetOrCreate(name, path, kind);
    if (!geometry)
        return nullptr;
    geometry->Load(std::string(path));
    return geometry;
}

Geometry* GeometryManager::GetOrLoad(std::string_view name, std::string_view path) {
    return GetOrLoadByKind(name, path, GetGeometryKindByName(path));
}

CResource* GeometryManager::Create(std::string_view name, std::string_view path) {
    return GetOrCreate(name, path, GetGeometryKindByName(path));
}

Geometry* GeometryManager::CreateByKind(std::string_view name, std::string_view path,
                                        std::uint32_t kind) {
    if (kind >= GEOMETRY_KIND_COUNT || !kCreators[kind])
        return nullptr;
    Geometry* geometry = kCreators[kind](this, name, GetTypeName(), NextHandle());
    geometry->SetLoadPath(std::string(path));
    return geometry;
}

Geometry* GeometryManager::CreateUnique(std::string_view name, std::string_view path,
                                        std::uint32_t kind) {
    std::string unique(name);
    if (GetByName(name))
        unique = MakeIndexedName(name, GetUniqueNameIndex(name));
    Geometry* geometry = CreateByKind(unique, path, kind);
    Add(geometry);
    return geometry;
}

Geometry* GeometryManager::GetOrCreate(std::string_view name, std::string_view path,
                                       std::uint32_t kind) {
    if (CResource* existing = GetByName(name))
        return static_cast<Geometry*>(existing);
    Geometry* geometry = CreateByKind(name, path, kind);
    Add(geometry);
    return geometry;
}

GeometryManager::ClassTotals GeometryManager::TotalsOf(std::uint32_t classId) {
    std::uint64_t bytes = 0;
    std::uint32_t count = 0;
    ForEachActive([&](const std::string&, CResource* resource) {
        if (resource->GetClassId() == classId) {
            ++count;
            bytes += resource->GetSizeField();
        }
        return true;
    });
    return {count, static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes, 0xFFFFFFFFu))};
}

void GeometryManager::ReleaseBodyPartImages() {
    ForEachActive([](const std::string&, CResource* resource) {
        if (resource->GetClassId() == ClassId::GeometryBodyPart)
            static_cast<Geometry*>(resource)->UnloadImages();
        return true;
    });
}

void GeometryManager::ReleaseBodyPartImagesOf(const char* text, std::int32_t ownerId) {
    if (!text)
        return;
    const std::string wanted = NormalizePath(text);
    ForEachActive([&](const std::string& name, CResource* resource) {
        if (resource->GetClassId() != ClassId::GeometryBodyPart ||
            name.find(wanted) == std::string::npos)
            return true;
        auto* part = static_cast<Geometry*>(resource);
        if (part->GetOwnerId() < 0 || part->GetOwnerId() != ownerId)
            return true;
        part->UnloadImages();
        return false;
    });
}

std::uint32_t GeometryManager::CountBodyParts() {
    return TotalsOf(ClassId::GeometryBodyPart).count;
}

std::uint32_t GeometryManager::BodyPartMemory() {
    return TotalsOf(ClassId::GeometryBodyPart).bytes;
}

std::uint32_t GeometryManager::CountStaticGeometries() {
    return TotalsOf(ClassId::StaticGeometry).count;
}

std::uint32_t GeometryManager::StaticGeometryMemory() {
    return TotalsOf(ClassId::StaticGeometry).bytes;
}

void GeometryManager::DumpGeometries(const char* path) {
    if (!path)
        return;
    std::FILE* file = std::fopen(path, "w");
    if (!file)
        return;
    std::uint32_t index = 0;
    ForEachActive([&](const std::string&, CResource* resource) {
        if (resource->GetClassId() == ClassId::GeometryBodyPart)
            std::fprintf(file, "%u : %u KB, %s\n", index++, resource->GetSizeField() / 1024,
                         resource->GetName().c_str());
        return true;
    });
    std::fclose(file);
}

}  // namespace Zel
