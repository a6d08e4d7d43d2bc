// The geometry of a skinned model: its meshes are Skin parts, it holds the model's Skeleton (one
// reference, through the skeleton manager) and the model's animations by name and by file. It
// loads from ".ch3" (chunk stream with skeleton and actions), ".ch2" (whose meshes it does not
// read) or a ".chr" / XML description built from ASE scenes.
//
// Threads: loaded on the loading thread, used on the host thread.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Entity/Geometry/Geometry.h"

namespace Zel {

class Action;
class Skeleton;

class GeometrySkin : public Geometry {
public:
    struct AnimationRecord {
        std::string name;
        std::string path;
        Action* action = nullptr;
    };
    // Switches of the load road: 53 leaves every skinned geometry empty (and loaded), 34 loads
    // the default model instead of the file.
    static constexpr std::uint32_t kSkipCreateSwitch = 53;
    static constexpr std::uint32_t kDefaultModelSwitch = 34;
    static constexpr const char* kDefaultModelPath =
        "..\\resources\\media\\shaders\\role\\pet\\2031100\\2031100.chr";

    GeometrySkin(CResourceManager* manager, std::string_view name, std::string_view group,
                 std::uint32_t handle);
    ~GeometrySkin() override;
    ZEL_CLASS_ID(GeometrySkin)

    // The Geometry size, the skeleton's and every animation's.
    std::uint32_t CalculateSize() override;
    // ".ch2" and ".ch3" by name, ".ac3" fails; otherwise the binary siblings when binary files
    // are preferred, then the description. The load path is the same after the call.
    bool LoadImpl() override;
    // The skeleton's shared actions nobody else holds, the skeleton and every animation are given
    // back, then the Geometry part goes.
    void UnloadImpl() override;
    void LogLoadResult(bool ok) override;
    std::uint32_t GetKind() const override { return 4; }
    std::unique_ptr<Mesh> CreateMesh(const std::string& name) override;
    // A ".ch2" contributes its material libraries only.
    bool ReadBinaryV2Meshes(const std::vector<std::uint8_t>&, IZelStream&,
                            const Dm2Header&) override {
        return true;
    }
    // The ".ch3" chunk stream of the load path (IOGeometrySkinBin::Read); false when it cannot be
    // opened, the reader fails or the stream ran short.
    virtual bool LoadBinarySkin();

    Skeleton* GetSkeleton() const { return skeleton_; }
    // Takes over one reference; the skeleton held before is given back to its manager.
    void SetSkeleton(Skeleton* skeleton);

    // Enters an action (taking over one reference) under its name and file path and records it.
    void AddAction(Action* action, const std::string& path);
    // Records an animation of a description: nothing when the name is taken; otherwise the action
    // of the path (made once per path: its resource read from the ASE file against this
    // skeleton when not loaded yet) is entered under the name.
    void AddAnimation(const std::string& name, const std::string& path);
    // The action of record i; past the records the path map's i-th entry; else null.
    Action* GetAnimationByIndex(std::uint32_t i) const;
    // The name map's i-th entry (its name into out), or null.
    Action* GetAnimationName(std::uint32_t i, std::string& out) const;
    // The name map's action of the name, else the shared action of that name in this skeleton's
    // set of the action manager, or null.
    Action* GetAnimationByName(const std::string& name) const;
    // This skeleton's shared set of the action manager: whether it holds the action, reading an
    // action file into it, and giving back the actions nobody else holds.
    bool HasSharedAction(const std::string& name) const;
    bool AddSharedAction(const std::string& name);
    // Loads the action list file into this skeleton's shared set, the set the host names by
    // setName (the skeleton keys the set, so the name only has to be given).
    // The list file is an action file of the shared set's formats, read and registered under its
    // own name as AddSharedAction does, so that a direct and a queued load give the same set.
    // False, loading nothing, without a skeleton, for an empty set name or file, or when the
    // file does not read. Loading thread (the host's in direct mode, under the main lock).
    bool LoadSharedActions(const std::string& setName, const std::string& listFile);
    void UnloadSharedActions();
    const std::vector<AnimationRecord>& GetAnimationRecords() const { return records_; }

private:
    Skeleton* skeleton_ = nullptr;
    std::vector<AnimationRecord> records_;
    // Insertion order, so that entries can be walked by index.
    std::vector<std::pair<std::string, Action*>> pathMap_;
    std::vector<std::pair<std::string, Action*>> nameMap_;
};

}  // namespace Zel
