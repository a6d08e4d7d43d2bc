// A skeleton model that carries morph models (morphers) on its bones: for each of its animations
// it may load one deformed model, named by the animation's file with the extension ".anm" and
// placed on the bone that the "AnmConfig.xml" beside that file names (top element "Bone",
// attribute "name"). While the animation plays, its morph models take the animation's time and
// their bone's world matrix and are drawn as child entities. It answers SkeletonModel's class id.
// Pooled in its factory in Globals. Host thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Entity/Character/SkeletonModel.h"

namespace Zel {

class DeformedModel;

class DeformedSkeletonModel : public SkeletonModel {
public:
    // The file beside an animation that names the bone its morph model follows.
    static constexpr const char* kConfigFileName = "AnmConfig.xml";

    struct Morpher {
        DeformedModel* model = nullptr;  // owned: released through the scene manager
        std::string bone;
    };

    DeformedSkeletonModel() = default;
    ~DeformedSkeletonModel() override;

    // The child list is emptied, the skeleton model updates, then the morph models of the current
    // animation take its time and their bone's world placement, join the child list and update.
    void Update(std::uint32_t* counter, float dt, std::uint32_t frameId) override;
    std::uint32_t GetEntityKind() const override { return 11; }
    // Keeps the file name; true without loading while models are not made (switch 52); else the
    // skinned geometry of the name (kind 4), true when it loaded.
    bool LoadGeometry(const std::string& fileName) override;
    std::uint32_t GetGeometryKind() const override { return 4; }
    // The skeleton model's build, then one morph model per animation that has an
    // "AnmConfig.xml" beside it. An animation without one is skipped.
    bool BuildFromGeometry() override;
    // The child list emptied, every morph model released, then the skeleton model reset.
    void Reset() override;

    // Makes a deformed model from the morph file and makes it the animation's one morpher on the
    // bone. False (nothing kept) when no model can be made or the bone is not in the skeleton
    // (logged "morpher"). A morph model the animation had before is released.
    bool AttachMorpher(const std::string& morphFile, const std::string& animation,
                       const std::string& bone);
    std::uint32_t GetMorpherCount() const { return static_cast<std::uint32_t>(morphers_.size()); }
    // The animation's morphers; null when it has none.
    const std::vector<Morpher>* FindMorphers(const std::string& animation) const;
    const std::string& GetModelFileName() const { return fileName_; }
    // Drops every record of the model (released elsewhere); its animation keeps no morpher.
    void ForgetMorpher(const DeformedModel* model);

private:
    // Every morph model back to the scene manager; the map is emptied.
    void ReleaseMorphers();
    static void ReleaseModel(DeformedModel* model);

    std::map<std::string, std::vector<Morpher>> morphers_;
    std::string fileName_;
};

}  // namespace Zel
