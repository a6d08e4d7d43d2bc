// The manager of materials: creates them, finds them by name, reads material libraries (XML in
// its "SHADERLIB" and "MaterialLib" dialects, and binary ".xm3"), creates the built-in materials
// the renderer draws with and hands out the default materials. Registered under the type name
// "Material" with the group registry of Globals from its construction to its destruction.
//
// Three lists beside the maps: the last-library list (the materials of the most recent library, no
// references; the host enumerates it), the held list (one reference each: the built-ins and
// the materials of libraries loaded with the hold flag; dropped at destruction) and the in-use
// list (one reference per entry: what the engine's own passes hold through HeldMaterial).
//
// Threads: no lock of its own. Runs on the host thread, or on the worker inside a loading task's
// step under the main lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Core/CResourceManager.h"
#include "Core/SharedPtr.h"
#include "Core/TiXmlDocument.h"
#include "Entity/Material/Material.h"

namespace Zel {

struct MaterialLibLoadContext;
struct MaterialTextureRequests;

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

    // Deletes every material, referenced or not, except the built-ins and the materials on the
    // in-use list: the renderer draws with the built-ins and hands out the default materials for
    // the manager's whole life, and the engine's passes draw with what they hold in use, so
    // those stay (and the default-material references stay valid). The references the held
    // list kept for library materials are dropped first and the last-library list is emptied,
    // so nothing of the manager points at a deleted material afterwards.
    void RemoveAll() override;
    // What the host's remove-all asks for: drops the held list's references to library
    // materials, empties the last-library list, then deletes every material that only the
    // manager still references (Collect, Purge). Materials a scene object, a wrapper or an
    // effect still draws with stay alive, as do the built-ins.
    void RemoveUnused();

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

    // ---- XML libraries ----
    // The library entry point. In queued mode (IsQueueMode) the split road runs its steps at
    // once: OpenMaterialLib, then per element ParseLibMaterial, LoadLibMaterialTextures and
    // FinalizeLibMaterial; otherwise LoadMaterialLibXml. Both roads make the same materials.
    // success and the answer: whether the library was read.
    bool LoadMaterialLib(const std::string& path, bool& success, std::vector<Material*>* output,
                         bool hold);
    // Loads an XML library at once, with the data root as the current directory, through the
    // XML manager: every "Material" of a "MaterialLib" root (LoadSingleMaterial) or every
    // "SHADER" of a "SHADERLIB" root (LoadSingleLegacyMaterial). The last-library list is
    // refilled with the library's materials, new or found by name (so a second load of the same
    // library lists the same materials); with hold each gains a reference and is appended to
    // output (when given). A library that does not open ("无法打开Material文件") or has neither
    // root (reported) leaves success false.
    bool LoadMaterialLibXml(const std::string& path, bool& success, bool hold,
                            std::vector<Material*>* output);
    // One "Material" element: a new material of its "Name" entered into the maps with the
    // library path as its load path and the current texture load options, parsed
    // (MaterialParser::Parse) and marked loaded with the result. An existing material of the
    // name is made loaded and returned, reported when it comes from another library. Null
    // without "Name".
    Material* LoadSingleMaterial(const XmlNode* element, const std::string& libraryPath);
    // The same for a "SHADER" element ("NAME"), parsed with its generated program
    // (MaterialParser::ParseLegacyAndGenerate); the texture load options are not copied.
    Material* LoadSingleLegacyMaterial(const XmlNode* element, const std::string& libraryPath);

    // ---- The split road (steps of a loading task, or LoadMaterialLib in queued mode) ----
    // Opens the library for context (whose document the caller made): an ".xm3" path, or its
    // ".xm3" sibling when binary files are preferred and it reads, loads as a binary library;
    // otherwise the ".xml" of the path is parsed into the context's document and its "SHADER"
    // or "Material" elements listed. The last-library list is emptied. False when the library
    // cannot be read (logged or reported); success tells whether a library was read.
    bool OpenMaterialLib(const std::string& path, bool& success, MaterialLibLoadContext& context,
                         bool hold);
    // A new material (not yet in the maps) parsed from a listed element, with its texture
    // requests and (for "Material") its effect path recorded in requests and no program. An
    // existing material of the name is returned untouched. Null without a name.
    Material* ParseLibMaterial(const XmlNode* element, const MaterialLibLoadContext& context,
                               MaterialTextureRequests& requests);
    // Carries out the requests: animated textures are made and bound; a pending stage loads its
    // texture when the global immediate-load bit is set and otherwise stays pending (its pass
    // loads it on first use); stages already bound are left alone.
    void LoadLibMaterialTextures(MaterialTextureRequests& requests);
    // Enters a new material into the maps, runs UpdatePasses and gives it its program (the
    // effect path the requests name, else the generated one; the default when it does not load),
    // then lists it as LoadMaterialLibXml does. A material of a taken name is deleted; an
    // existing material passed back by ParseLibMaterial is only listed.
    void FinalizeLibMaterial(Material* material, const MaterialTextureRequests& requests,
                             std::vector<Material*>* output, bool hold);

    // Creates "Default", "DefaultSkeleton", "WireFrame", "DrawQuad", "ZBlend", "DrawUI" and
    // "DrawProfile" when their names are free: each entered into the maps, held, given one pass
    // and its generated program. Called once by the scene's initialisation.
    void CreateBuiltinMaterials();

    // Adds one reference to the material and keeps it in the held list.
    void HoldMaterial(Material* material);
    const std::vector<Material*>& GetHeldList() const { return held_; }
    // The in-use list, kept by HeldMaterial: KeepInUse adds one reference and one entry;
    // GiveBackInUse drops one entry of the material and its reference (nothing for a material
    // not listed). Entries still listed are dropped at destruction.
    void KeepInUse(Material* material);
    void GiveBackInUse(Material* material);
    bool IsInUse(const Material* material) const;

private:
    // Empties the last-library list and drops the held list's references to everything but
    // the built-ins.
    void ReleaseLibraryHolds();
    // Appends to the last-library list; with hold adds a reference and appends to output.
    void ListLibraryMaterial(Material* material, std::vector<Material*>* output, bool hold);
    // The existing material of the element's name (made loaded, reported when it comes from
    // another library), or null.
    Material* FindLibraryDuplicate(const char* name, const std::string& libraryPath, bool legacy);

    std::vector<Material*> lastLibrary_;
    std::vector<Material*> held_;
    // Each listed material with its number of entries: every scene piece keeps its material
    // here, so lookups and give-backs must not walk a list.
    std::unordered_map<const Material*, std::uint32_t> inUse_;
    SharedPtr<Material> defaultMaterial_;
    SharedPtr<Material> defaultSkeletonMaterial_;
};

}  // namespace Zel
