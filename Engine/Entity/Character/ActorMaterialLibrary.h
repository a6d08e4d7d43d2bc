// The material copies of an actor's ".bp5" body parts. Each part mesh is drawn with a private copy
// of the material its part file's description names; parts that share a file base name and a mesh
// number share one copy. Cloth meshes get two copies of their material: one drawn as skinned
// geometry, one for the physics-simulated cloth (its passes take untransformed world positions
// without skinning), kept in maps of their own and always used as a pair.
//
// Every map holds one reference on each of its copies and every use adds one; a release drops
// one; a copy that only the library still holds is freed at the next collection.
//
// Threads: the host thread, or a loading task in lock-step with it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "Entity/Geometry/GeometryBodyPart.h"

namespace Zel {

class Actor;
class Material;
class Mesh;
class TextureBase;

class ActorMaterialLibrary {
public:
    // The pass words that mark a physics-cloth copy: no skinning, no skinned vertex program, a
    // rigid influence count, and the vertex components position, normal and texture coordinate 0.
    static constexpr std::uint32_t kPhysicsSkinningType = 2;
    static constexpr std::uint32_t kPhysicsVertexFlags = 19;
    static constexpr std::uint32_t kPhysicsProgramKind = 4;
    static constexpr std::uint32_t kPhysicsInfluenceCount = 1;
    static constexpr std::uint32_t kPartCount = 9;

    // The pixel size a part image is scaled to before it is placed in the spliced body texture.
    struct PartSize {
        std::uint32_t width;
        std::uint32_t height;
    };

    // Whose copies these are: an actor's ".bp5" parts, or a NewActor's parts. A NewActor's part
    // key falls back to the first-digit key that older description files use, and a missing
    // description makes the copy from actor material 0 rather than from the mesh's own.
    enum class Flavour { Bp5Parts, NewActorParts };

    explicit ActorMaterialLibrary(Actor& owner, Flavour flavour = Flavour::Bp5Parts)
        : owner_(owner), flavour_(flavour) {}
    // Frees every copy still kept (collection normally emptied the maps already).
    ~ActorMaterialLibrary();
    ActorMaterialLibrary(const ActorMaterialLibrary&) = delete;
    ActorMaterialLibrary& operator=(const ActorMaterialLibrary&) = delete;
    // The actor whose copies these are (the queued ".bp5" part load reaches it through here).
    Actor& GetOwner() const { return owner_; }

    // ---- Names ----
    // The path with backslashes as slashes, without directory and extension.
    static std::string FileBaseName(std::string_view path);
    // The part of a mesh name that carries its number: what follows "<base>_" in the name a
    // loaded part gives its meshes, else the whole name.
    static std::string_view MeshNumberText(std::string_view partFile, std::string_view meshName);
    // Base name + "_" + the mesh's number text read as a number (part meshes).
    static std::string PartMaterialKey(std::string_view partFile, std::string_view meshName);
    // Base name + "_" + the first character of the mesh number as a digit (cloth meshes): the
    // number follows the "Mesh" the readers put in front, else starts the name.
    static std::string ClothMaterialKey(std::string_view partFile, std::string_view meshName);
    // The material description of a part file: a name starting with "." or holding a drive
    // (":" second) ends in "xml" instead of its last three characters; any other name lives in
    // the "newbpoutput" folder beside the actor description's folder.
    static std::string DescriptionPath(std::string_view partFile, std::string_view actorPath);
    // The cloth companion: the part name without extension + "_cloth" + extension, under the
    // same folder rule; empty for a name without ".".
    static std::string ClothCompanionName(std::string_view partFile, std::string_view actorPath,
                                          std::string_view extension = ".bp5");

    // ---- Body-texture layout of ".bp5" parts (slots 0-8; other slots read slot 0) ----
    static TextureRect GetPartTexRect(std::uint32_t slot);
    static PartSize GetPartTexSize(std::uint32_t slot);

    // ---- Copies ----
    // The copy for a part mesh; one more reference for the caller.
    Material* GetPartMaterial(const Mesh& mesh, const std::string& partFile,
                              const std::string& descriptionPath);
    // The cloth copy (physics false) or the physics-cloth copy of a cloth mesh of cloth slot
    // 9-17, whose key comes from the part worn in slot - 9; both copies of the pair gain a
    // reference. Null for a slot outside 9-17.
    Material* GetClothMaterials(std::uint32_t clothSlot, const Mesh& mesh, bool physics,
                                const std::string& descriptionPath);
    // Drops one reference of the copy and of its cloth partner; a material that is not one of
    // the library's copies is left alone.
    void ReleaseMaterial(Material* material);
    // Frees every copy that only the library holds.
    void CollectUnused();
    // Collects, then reports when any map is still not empty. Answers whether all were empty.
    bool CheckCleanup();

    const std::map<std::string, Material*>& GetMaterials() const { return byName_; }
    const std::map<std::string, Material*>& GetClothMaterials() const { return clothByName_; }
    const std::map<std::string, Material*>& GetPhxClothMaterials() const { return phxClothByName_; }

    // Whether the first pass of the material carries the physics-cloth pass words.
    static bool IsPhysicsClothCopy(const Material& material);

    // ---- The actor's body texture ----
    // Every pass of every material the owner's slots draw with (the copies among them) takes
    // the owner's body texture in its first stage; a pass that holds it already is left alone.
    // Nothing while the owner has none.
    void BindBodyTexture();
    // Those passes let the owner's body texture go, so that the texture can be destroyed.
    void ReleaseBodyTexture();
    // The first stage of the first `passCount` passes takes the texture where it holds another.
    static void BindFirstStages(Material& material, TextureBase* texture, std::uint32_t passCount);
    // The first stage of every pass holding the texture lets it go.
    static void ReleaseFirstStages(Material& material, const TextureBase* texture);

private:
    using Map = std::map<std::string, Material*>;

    // The material the description registered under the key (its lookup reference given back
    // once copied), else the owner's actor material of the mesh; then the copy of it, holding the
    // map's reference.
    Material* MakeCopy(const std::string& key, const Mesh& mesh, const std::string& partFile,
                       const std::string& descriptionPath, const std::string& fallbackKey = {});
    // The map's entry becomes copy; the copy it held before loses the map's reference.
    void Replace(Map& map, const std::string& key, Material* copy);
    // fn(material) for the own material of every sub-entity of the owner's slots.
    template <class Fn>
    void ForEachSlotMaterial(Fn fn) const;
    // Drops one reference; a copy none holds any more is freed.
    void Drop(Material* material);
    static void Free(Material* material);

    Actor& owner_;
    Flavour flavour_;
    Map byName_;
    Map clothByName_;
    Map phxClothByName_;
    // Replaced copies still held by a user: freed once their last holder lets go.
    std::vector<Material*> retired_;
};

}  // namespace Zel
