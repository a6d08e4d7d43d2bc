// The character of the newer body-part files (".bp4", and ".bp5" through the actor material
// library). It is an actor with the same eighteen slots, update, pinch and body texture, but it
// draws its part meshes with private per-key copies of the materials its parts' description files
// name instead of the actor's forty own materials, lays its body texture out by its own table,
// takes the new figure of its sex as its skeleton whatever figure kind the face part names, and
// refuses ".bp3" parts. Pooled in its own factory in Globals.
//
// Threads: the host thread (or a loading task in lock-step with it).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Entity/Character/Actor.h"
#include "Entity/Character/ActorMaterialLibrary.h"

namespace Zel {

class NewActor : public Actor {
public:
    // The entity kind a NewActor answers (the actor's table of kinds has its own).
    static constexpr std::uint32_t kEntityKind = 13;

    NewActor();
    // Every slot is released first, so that the copies the parts held are collected.
    ~NewActor() override;
    ZEL_CLASS_ID(NewActor)

    // The actor's recycle step, then the cleanup check of the copies.
    void Reset() override;
    std::uint32_t GetEntityKind() const override { return kEntityKind; }
    bool IsNewActor() const override { return true; }

    // The face part's figure kind never changes a NewActor's skeleton (nor makes its pinch
    // state): false, nothing done.
    bool LoadSkeleton(std::uint32_t kind) override;
    // With the action library in use: the new figure of the actor's sex.
    bool LoadDefaultSkeleton() override;

    // ---- Body-texture layout (slots 0-8; other slots read slot 0) ----
    static TextureRect GetPartTexRect(std::uint32_t slot);
    static ActorMaterialLibrary::PartSize GetPartTexSize(std::uint32_t slot);

    // The material description of a part file: a name starting with "." or holding a drive
    // (":" second) ends in "xml" instead of its last three characters; any other name lives
    // beside the actor description.
    static std::string DescriptionPath(std::string_view partFile, std::string_view actorPath);
    std::string DescriptionPath(std::string_view partFile) const;
    // The cloth companion's name of a part file, under the same folder rule; empty for a name
    // without ".".
    static std::string ClothCompanionName(std::string_view partFile, std::string_view actorPath);

    // The cloth copy of a cloth mesh of cloth slot 9-17 (the physics one when asked); null for
    // another slot.
    Material* GetOrCreateClothMaterial(std::uint32_t clothSlot, const Mesh& mesh, bool physics);
    // Collects the copies only the maps hold, then reports leftovers; true when none are left.
    bool CheckMaterialCleanup() { return copies_.CheckCleanup(); }
    const ActorMaterialLibrary& GetMaterialCopies() const { return copies_; }

protected:
    // The part's description is read as a material library while its meshes take their copies;
    // the library's own materials are given back afterwards, so that only the copies stay.
    void BeginPartMaterials(const std::string& partName) override;
    void EndPartMaterials() override;
    Material* TakePartMaterial(const std::string& partName, const Mesh& mesh) override;
    // Each material loses the reference of its use; copies no part uses any more are collected.
    void OnSlotReleased(const std::vector<Material*>& materials) override;
    // "<part without extension>_cloth.bp4" beside the part's description, and only when that
    // file exists.
    std::string ClothCompanionOf(const std::string& partName) const override;
    // The cloth pieces draw with this character's cloth copies (the physics ones when
    // simulated), given back with their slot.
    Material* TakeClothMaterial(std::uint32_t slot, const Mesh& subMesh, bool simulated) override;

private:
    ActorMaterialLibrary copies_;
    std::string descriptionPath_;              // of the part taking its materials
    std::vector<Material*> libraryMaterials_;  // one reference each, given back at the end
};

}  // namespace Zel
