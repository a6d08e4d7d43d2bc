// The geometry of an actor description (".act", ".ac2", ".ac3"; kind 10) and the registry through
// which the characters that use it load, clone and release their body-part and cloth geometries.
// For each of the 18 body slots (parts 0-8 and their cloth companions 9-17) it keeps one entry per
// character (owner) wearing something there; each entry holds a counted reference to the loaded
// geometry, so that a geometry shared by cloning stays while any entry holds it.
//
// Threads: loaders run in the body-part loading tasks; cloning and releasing on the host thread.
// The task lock-step keeps the two from overlapping.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Entity/Geometry/GeometrySkin.h"

namespace Zel {

class BodyPartCharacter;

struct BodyPartEntry {
    BodyPartEntry() = default;
    ~BodyPartEntry();
    BodyPartEntry(const BodyPartEntry&) = delete;
    BodyPartEntry& operator=(const BodyPartEntry&) = delete;

    bool IsValid() const { return slot >= 0 && !name.empty(); }
    // Takes one reference to the geometry (and gives back the one held before).
    void SetGeometry(Geometry* geometry);
    // Gives the reference back; a geometry then held by its manager alone is removed from it.
    void DropGeometry();

    std::int32_t slot = -1;
    std::uint32_t word = 0;
    std::string name;
    std::string extra[2];
    Geometry* geometry = nullptr;
    std::int32_t owner = -1;
    bool cloth = false;  // a cloth companion (slots 9-17)
};

class GeometryActor : public GeometrySkin {
public:
    static constexpr std::uint32_t kSlotCount = 18;
    // The folder of the ".bp5" parts and their cloth, beside the actor's own folder.
    static constexpr const char* kNewPartFolder = "newbpoutput";

    // Whether a part name carries its own place (relative to the working directory, "." first,
    // or with a drive, ":" second) instead of living in the actor's folders.
    static bool NamesOwnPlace(std::string_view name);
    // The new-part folder of an actor geometry loaded from actorPath: "newbpoutput" beside the
    // folder that holds the actor's own folder.
    static std::string NewPartFolder(std::string_view actorPath);
    // Where a ".bp5" part or cloth companion named name lies: a name with its own place, or one
    // already under the new-part folder, as it stands; any other name inside that folder.
    static std::string NewPartPath(std::string_view actorPath, const std::string& name);

    GeometryActor(CResourceManager* manager, std::string_view name, std::string_view group,
                  std::uint32_t handle);
    ~GeometryActor() override;
    ZEL_CLASS_ID(GeometryActor)

    std::uint32_t GetKind() const override { return 10; }
    // The skinned size plus every entry's geometry's.
    std::uint32_t CalculateSize() override;
    // Nothing to read: the entries come from the loaders.
    bool LoadImpl() override { return true; }
    // Every entry's geometry is given back, then the skinned geometry unloads.
    void UnloadImpl() override;
    void LogResourceName() override;
    void LogLoadResult(bool ok) override;
    bool ReadBinaryV2Meshes(const std::vector<std::uint8_t>&, IZelStream&,
                            const Dm2Header&) override {
        return false;
    }

    // A ".bp3" part (".bp4" for a NewActor) for the character; the entry already holding that
    // name for it when there is one. Null when the part does not load.
    BodyPartEntry* LoadBodyPart(std::uint32_t slot, const std::string& name,
                                const BodyPartCharacter& character);
    // A ".bp5" part from the "newbpoutput" folder.
    BodyPartEntry* LoadBodyPart5(std::uint32_t slot, const std::string& name, std::int32_t owner,
                                 std::int32_t sex, bool newLayout, const std::string& skeletonName);
    // A cloth companion (kind 13) skinned to the named skeleton; the second from "newbpoutput"
    // (a name that already starts with that folder, or names its own place, is the path itself).
    BodyPartEntry* LoadCloth(std::uint32_t slot, std::int32_t owner, const std::string& name,
                             const std::string& skeletonName);
    BodyPartEntry* LoadNewCloth(std::uint32_t slot, std::int32_t owner, const std::string& name,
                                const std::string& skeletonName);
    // Shares the geometry another owner loaded under that name in the slot; null when none did.
    BodyPartEntry* LoadCloneBodyPart(std::uint32_t slot, const std::string& name,
                                     std::int32_t owner);
    void ReleaseSlot(std::uint32_t slot, std::int32_t owner);
    // ReleaseSlot for slots 0-17.
    void ReleaseAllSlots(std::int32_t owner);
    // Deletes every entry of the owner, valid or not, giving its reference back; answers how many.
    std::uint32_t RemoveBodyPartsOfOwner(std::int32_t owner);
    std::vector<std::uint32_t> CollectBodyPartIds() const;
    std::uint32_t GetBodyPartMeshCount() const;
    // The name and slot of entry i over the slots in ascending order; past the end "invalid name"
    // and slot 0.
    const char* GetBodyPartMesh(std::uint32_t i, std::uint32_t& slot) const;

    // The character code's names for the loaders.
    BodyPartEntry* BuildBodyPartOnLoad(std::uint32_t slot, const std::string& name,
                                       const BodyPartCharacter& character) {
        return LoadBodyPart(slot, name, character);
    }
    BodyPartEntry* BuildBodyPartA(std::uint32_t slot, const std::string& name,
                                  const std::string& skeletonName, std::int32_t owner) {
        return LoadCloth(slot, owner, name, skeletonName);
    }
    BodyPartEntry* BuildBodyPartB(std::uint32_t slot, const std::string& name,
                                  const std::string& skeletonName, std::int32_t owner,
                                  bool newLayout, std::int32_t sex) {
        return LoadBodyPart5(slot, name, owner, sex, newLayout, skeletonName);
    }
    BodyPartEntry* BuildBodyPart5(std::uint32_t slot, const std::string& name,
                                  const std::string& skeletonName, std::int32_t owner) {
        return LoadNewCloth(slot, owner, name, skeletonName);
    }

private:
    using EntryList = std::vector<std::unique_ptr<BodyPartEntry>>;
    // Step 1 of every loader: the owner's entry of that name when there is one; otherwise the
    // owner's other entries of the slot are released.
    BodyPartEntry* PrepareSlot(std::uint32_t slot, const std::string& name, std::int32_t owner);
    // The folder ".bp3"/".bp4" parts are read from: the actor's own.
    std::string PartDirectory() const;
    // Creates, sets up (set_up) and loads the geometry and appends the entry; null, with nothing
    // left behind, when the load fails.
    template <class SetUp>
    BodyPartEntry* LoadEntry(std::uint32_t slot, const std::string& name, std::int32_t owner,
                             const std::string& path, std::uint32_t kind, SetUp setUp);

    std::map<std::uint32_t, EntryList> entries_;
    std::uint32_t handleWord_ = 0;
};

}  // namespace Zel
