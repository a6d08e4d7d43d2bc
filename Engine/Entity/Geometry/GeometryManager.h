// The manager of geometry (model) resources, registered under the type name "Geometry" with the
// group registry of Globals from its construction to its destruction. It maps file names to
// geometry kinds (GeometryKind.h), creates the geometry class of a kind, finds or creates
// geometries by name and loads them, and answers the monitor's questions about body-part and level
// geometry memory.
//
// Kinds whose class is not built create nothing: CreateByKind answers null for them as for a
// kind above 19, and GetOrLoadByKind then answers null without loading.
//
// Threads: creation and loading run on the loading thread; every walk of the name map holds its
// lock throughout.
#pragma once

#include <cstdint>
#include <string_view>

#include "Core/CResourceManager.h"

namespace Zel {

class Geometry;

class GeometryManager : public CResourceManager {
public:
    // Built by Globals::Init, host thread.
    GeometryManager();
    // RemoveAll, then the base unregisters the type.
    ~GeometryManager() override;
    ZEL_CLASS_ID(GeometryManager)

    // A plain Geometry of the name whose load path is the source.
    CResource* CreateImpl(std::string_view name, std::string_view source) override;
    // Actor geometries (kind 10) are unloaded and deleted first, since they hold the geometries
    // of their parts; then every other one, as the base does.
    void RemoveAll() override;

    // The geometry of the name, else a new one of the kind (GetOrCreate); then its Load (path),
    // which does nothing when it is loaded. Null when the kind creates nothing. An existing
    // geometry of another class than the kind asks for is answered unchanged.
    Geometry* GetOrLoadByKind(std::string_view name, std::string_view path, std::uint32_t kind);
    // GetOrLoadByKind with the kind of the path's name.
    Geometry* GetOrLoad(std::string_view name, std::string_view path);
    // GetOrCreate with the kind of the path's name.
    using CResourceManager::Create;
    CResource* Create(std::string_view name, std::string_view path) override;
    // A new geometry of the kind's class (this manager, the name, the type name as group, the
    // next handle) with the path as its load path, not entered into the maps; null for a kind
    // whose class is not built or above 19.
    Geometry* CreateByKind(std::string_view name, std::string_view path, std::uint32_t kind);
    // Always a new geometry, entered into the maps: a taken name gets the indexed-name suffix
    // with the next free index (MakeIndexedName). Null when the kind creates nothing.
    Geometry* CreateUnique(std::string_view name, std::string_view path, std::uint32_t kind);
    // The geometry of the name, else CreateByKind entered into the maps.
    Geometry* GetOrCreate(std::string_view name, std::string_view path, std::uint32_t kind);

    // Every body-part geometry unloads its images (the actor texture cleaner's call).
    void ReleaseBodyPartImages();
    // The first body-part geometry whose name contains the normalised text and whose owner id
    // is ownerId (never a negative one) unloads its images. Nothing for a null text.
    void ReleaseBodyPartImagesOf(const char* text, std::int32_t ownerId);

    // Monitor questions over the name map: the body-part geometries (their count and the sum of
    // their size fields) and the level geometries of StaticGeometry's class.
    std::uint32_t CountBodyParts();
    std::uint32_t BodyPartMemory();
    std::uint32_t CountStaticGeometries();
    std::uint32_t StaticGeometryMemory();
    // One line "%u : %u KB, %s\n" per body-part geometry (running index, size / 1024, name) into
    // the file, opened in text mode; nothing for a null path or a file that does not open.
    void DumpGeometries(const char* path);

private:
    // Count and size-field sum (saturated to 32 bits) of the geometries of a class id.
    struct ClassTotals {
        std::uint32_t count;
        std::uint32_t bytes;
    };
    ClassTotals TotalsOf(std::uint32_t classId);
};

}  // namespace Zel
