// A small skeleton and compressed actions on it, read into action resources of the action manager.
#pragma once

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "CharacterFixture.h"
#include "Core/Factory.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/ActionOwner.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/ActionResource.h"
#include "modelgen/CompressedActionFile.h"

namespace ZelTest {

namespace mg = ZelModelGen;

// Bones: 0 "Bip01" (root), 1 "Bip01 Pelvis" at (0, 0, 10), 2 "Bip01 Spine" at (0, 0, 20),
// 3 "Bip01 Head" at (0, 0, 30), 4 "Loose" at (5, 0, 0).
inline std::vector<Zel::SkeletonNode> SmallSkeletonNodes() {
    const float root[3] = {0, 0, 0}, pelvis[3] = {0, 0, 10}, spine[3] = {0, 0, 20},
                head[3] = {0, 0, 30}, loose[3] = {5, 0, 0};
    return {MakeNode("Bip01", "", root), MakeNode("Bip01 Pelvis", "Bip01", pelvis, root),
            MakeNode("Bip01 Spine", "Bip01 Pelvis", spine, pelvis),
            MakeNode("Bip01 Head", "Bip01 Spine", head, spine),
            MakeNode("Loose", "Bip01", loose, root)};
}

// A rotation about z by the angle (radians).
inline mg::Vec4 TurnZ(float angle) {
    return mg::Vec4{0, 0, std::sin(angle / 2), std::cos(angle / 2)};
}

// Frames of 0.25 s: the root moves x = 0.1 f and turns; the pelvis and the head only turn; the
// spine is constant. Header length as given (the tracks last (frames - 1) x 0.25 s).
inline mg::CompressedActionDesc SmallAction(std::uint32_t frames, float length) {
    mg::CompressedActionDesc a;
    a.length = length;
    a.frameCount = frames;
    for (std::uint32_t bone : {0u, 1u, 2u, 3u}) {
        mg::CompressedTrackDesc t;
        t.boneIndex = bone;
        t.frameInterval = 0.25f;
        if (bone != 2) {
            for (std::uint32_t f = 0; f < frames; ++f) {
                if (bone == 0)
                    t.positions.push_back(mg::Vec3{0.1f * static_cast<float>(f), 0, 0});
                t.rotations.push_back(TurnZ(0.1f * static_cast<float>(f)));
            }
        } else {
            t.constantRotation = TurnZ(0.5f);
        }
        a.tracks.push_back(t);
    }
    return a;
}

// An owner that knows actions by name (and, for the tree lookup, the same map).
class NamedActionOwner : public Zel::ActionOwner {
public:
    std::map<std::string, Zel::Action*> actions;
    Zel::Skeleton* skeleton = nullptr;

    Zel::Action* FindAction(std::string_view name) override {
        const auto it = actions.find(std::string(name));
        return it == actions.end() ? nullptr : it->second;
    }
    Zel::Action* FindTreeAction(std::string_view name) override { return FindAction(name); }
    Zel::Skeleton* GetSkeleton() override { return skeleton; }
    std::uint8_t GetFigure() const override { return 0; }
    bool IsNewActor() const override { return false; }
};

class ActionTest : public CharacterTest {
protected:
    ~ActionTest() override {
        for (Zel::Action* a : actions_) G()->GetActionFactory()->Release(a);
    }

    Zel::ActionManager& Actions() { return *G()->GetActionManager(); }
    Zel::Skeleton* Small() { return Build("small.fig", SmallSkeletonNodes()); }

    // The file written under the name in the working directory.
    std::string WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        std::FILE* f = std::fopen(name.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return name;
    }

    // A new action from the pool, given back at the end of the test.
    Zel::Action* NewAction() {
        Zel::Action* a = G()->GetActionFactory()->Acquire();
        actions_.push_back(a);
        return a;
    }

    // An action bound through the manager to the skeleton and the file of the description.
    Zel::Action* Load(const std::string& skeleton, const std::string& file,
                      const mg::CompressedActionDesc& desc) {
        WriteFile(file, mg::WriteCompressedActionFile(desc).bytes);
        Zel::Action* a = NewAction();
        return Actions().LoadActionResource(*a, skeleton, file) ? a : nullptr;
    }

private:
    std::vector<Zel::Action*> actions_;
};

}  // namespace ZelTest
