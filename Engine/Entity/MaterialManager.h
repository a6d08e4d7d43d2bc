// The manager of materials: creates them, finds them by name, reads binary material libraries
// (".xm3"), creates the built-in materials the renderer draws with and hands out the default
// materials. Registered under the type name "Material" with the group registry of Globals from
// its construction to its destruction.
//
// Two lists beside the maps: the last-library list (the materials of the most recent library, no
// references; the host enumerates it) and the held list (one reference each: the built-ins and
// the materials of libraries loaded with the hold flag; dropped at destruction).
//
// Threads: no lock of its own. Runs on the host thread, or on the worker inside a loading task's
// step under the main lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Core/CResourceManager.h"
#include "Core/SharedPtr.h"
#include "Entity/Material.h"

namespace Zel {

// What GetMaterialFileKind answers.
enum MaterialFileKind : std::uint32_t {
    MFK_XML = 0,     // ".xml" or ".XML" anywhere, and anything unrecognised
    MFK_XM2 = 1,     // ".xm2" or ".XM2": loaded as the ".xml" of the same name
    MFK_BINARY = 2,  // ".xm3" or ".XM3"
};

class MaterialManager : public CResourceManager {
public:
    // Built by Globals::Init, host thread.
    MaterialManager();
    // Drops the held references and both default-material references, then the base deletes
    // every material.
    ~MaterialManager() override;
    ZEL_CLASS_ID(MaterialManager)

    static MaterialFileKind GetMaterialFileKind(std::string_view path);

    // A new Material of this manager (group "Material", the next handle) whose load path is the
    // source.
    CResource* CreateImpl(std::string_view name, std::string_view source) override;

    // The material of the name (active or in the garbage list), or null. With addReference the
    // material is made loaded (reloaded when it is not) and gains one reference the caller gives
    // back.
    Material* FindMaterial(std::string_view name, bool addReference);
    // A new empty material of the name, marked loaded, with no load path; null when the name is
    // taken. It is not entered into the maps: the caller adds it when it must be found by name
    // (Add), or deletes it.
    Material* CreateMaterial(std::string_view name);
    // "Default", or "DefaultSkeleton" with skeleton set: found on first use, made loaded and
    // kept with one reference. Null before CreateBuiltinMaterials.
    Material* GetDefaultMaterial(bool skeleton);

    // The last-library list, as the host enumerates it.
    std::uint32_t GetMaterialCount() const { return std::uint32_t(lastLibrary_.size()); }
    // The name of entry index; "invalid name" past the end.
    const char* GetMaterialName(std::uint32_t index) const;
    const std::vector<Material*>& GetLastLibraryList() const { return lastLibrary_; }
    // The index-th material of the name map (its iteration order), under the name lock; null
    // when index is not below the count.
    Material* GetMaterialByIndex(std::uint32_t index);

    // Each material of the list loses one reference; one then held by the manager alone is
    // logged ("UnLoad引用计数为1的材质:name=%s") and unloaded.
    void UnLoadMaterials(const std::vector<Material*>& materials);

    // Reads the binary library of path (its extension replaced by ".xm3"), with the data root as
    // the current directory. The last-library list is emptied first and filled with the
    // library's materials. hold: each new material gains a reference kept in the held list. A
    // library that does not open is reported ("打不开xm3 %s") when report is set. success and
    // the answer: whether every material read.
    bool LoadBinaryMaterialLib(const std::string& path, bool& success, bool hold, bool report);

    // Creates "Default", "DefaultSkeleton", "WireFrame", "DrawQuad", "ZBlend", "DrawUI" and
    // "DrawProfile" when their names are free: each entered into the maps, held, given one pass
    // and its generated program. Called once by the scene's initialisation.
    void CreateBuiltinMaterials();

    // Adds one reference to the material and keeps it in the held list.
    void HoldMaterial(Material* material);
    const std::vector<Material*>& GetHeldList() const { return held_; }

    // --- Stand-in until the XML material libraries land (replace this block). ---
    // Loads the XML material library of path at once; success: whether it loaded. hold: each
    // new material gains a reference kept in the held list; output (may be null) receives them.
    // The stand-in loads nothing and answers false.
    bool LoadMaterialLibXml(const std::string& path, bool& success, bool hold,
                            std::vector<Material*>* output);
    // --- End of the stand-in. ---

private:
    std::vector<Material*> lastLibrary_;
    std::vector<Material*> held_;
    SharedPtr<Material> defaultMaterial_;
    SharedPtr<Material> defaultSkeletonMaterial_;
};

}  // namespace Zel
