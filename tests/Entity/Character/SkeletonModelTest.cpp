#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <string>

#include "ActionFixture.h"
#include "Core/GlobalConfigManager.h"
#include "Entity/Character/AnimationChannel.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/BoneState.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Geometry/AnimationTrack.h"
#include "Entity/Geometry/TransformMath.h"
#include "Math/BoundBase.h"
#include "Math/BoundCapsule.h"
#include "Math/BoundSphere.h"
#include "Physics/PhxEntity.h"
#include "Physics/PhysicsSdk.h"
#include "modelgen/BoneBoundsFiles.h"
#include "modelgen/BoneScaleFiles.h"

namespace {

using namespace ZelTest;
using Zel::SkeletonModel;

constexpr float kNear = 1e-4f;

// A model whose skeleton and animations are given by the test instead of a skinned geometry.
class TestModel : public SkeletonModel {
public:
    std::map<std::string, Zel::Action*> actions;
    std::string first;
    Zel::Skeleton* skeleton = nullptr;

    Zel::Skeleton* GetSkeleton() override { return skeleton; }
    Zel::Action* GetAnimation(const std::string& name) override {
        const auto it = actions.find(name);
        if (it != actions.end())
            return it->second;
        return first.empty() ? nullptr : actions[first];
    }
};

// An action of five frames of 0.25 s whose root stands still at x.
mg::CompressedActionDesc StillAt(float x, float length) {
    mg::CompressedActionDesc a = SmallAction(5, length);
    for (mg::Vec3& p : a.tracks[0].positions) p.x = x;
    return a;
}

class SkeletonModelTest : public ActionTest {
protected:
    void SetUp() override {
        G()->GetConfigManager()->SetValue(SkeletonModel::kUpdateActionsSwitch, 1);
        G()->GetConfigManager()->SetValue(Zel::AnimationTrack::kUpdateTrackAnimationsSwitch, 1);
        model_.skeleton = Small();
        ASSERT_NE(model_.skeleton, nullptr);
        Add("one", StillAt(1.0f, 1.0f));
        Add("zero", StillAt(0.0f, 1.0f));
        Add("four", StillAt(4.0f, 1.0f));
        Add("eight", StillAt(8.0f, 1.0f));
        Add("twelve", StillAt(12.0f, 1.0f));
        // The root walks x = 0.1 per 0.25 s frame over 1 s.
        Add("walk", SmallAction(5, 1.0f));
        model_.first = "one";
        model_.RebuildBoneStates();
        ASSERT_EQ(model_.GetBoneStateCount(), 5u);
    }

    void Add(const std::string& name, const mg::CompressedActionDesc& desc) {
        Zel::Action* a = Load("small.fig", name + ".ac6", desc);
        ASSERT_NE(a, nullptr);
        a->SetName(name);
        model_.actions[name] = a;
    }

    void Step(float dt) { model_.Update(nullptr, dt, ++frame_); }
    float RootX() const { return model_.GetBoneState(0)->translation[0]; }

    TestModel model_;
    std::uint32_t frame_ = 0;
};

TEST_F(SkeletonModelTest, LayeredSlotsBlendOrReplaceTheMainTrack) {
    struct Case {
        const char* what;
        float weight;
        bool rootInLowerBody;
        std::uint32_t layerFlags;
        float wantX;  // main stands at 1, the layer at 0
    };
    const Case cases[] = {
        {"0.98 blends", 0.98f, false, 0, 0.02f},
        {"0.99 replaces", 0.99f, false, 0, 0.0f},
        {"the lower body is left to the main action", 0.5f, true, 0, 1.0f},
        {"unless the layer flags ask for it", 0.5f, true, SkeletonModel::kLayerLowerBody, 0.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        model_.skeleton->SetLowerBodyMask(c.rootInLowerBody
                                              ? std::vector<std::uint8_t>{1, 1, 0, 0, 0}
                                              : std::vector<std::uint8_t>{});
        model_.SetBlendLength(0.0f);
        model_.PlayAnimation("one", 1.0f, -1, 0);
        // The layer flags are those of the last call that played something.
        model_.PlayAnimation("zero", c.weight, 0, SkeletonModel::kSlotLoop | c.layerFlags);
        model_.PlayAnimation("", 0.0f, 1, 0);
        Step(0.1f);
        EXPECT_NEAR(RootX(), c.wantX, kNear);
    }
}

TEST_F(SkeletonModelTest, TwoLayersApplyInSlotOrder) {
    model_.SetBlendLength(0.0f);
    model_.PlayAnimation("four", 1.0f, -1, 0);
    model_.PlayAnimation("zero", 0.5f, 0, SkeletonModel::kSlotLoop);
    model_.PlayAnimation("eight", 0.5f, 1, SkeletonModel::kSlotLoop);
    Step(0.1f);
    // (4 halfway to 0) = 2, then halfway to 8.
    EXPECT_NEAR(RootX(), 5.0f, kNear);
}

TEST_F(SkeletonModelTest, ACrossFadeCoversItsLengthAndEndsOnTheTargetPose) {
    model_.SetBlendLength(0.0f);
    model_.PlayAnimation("one", 1.0f, -1, 0);
    Step(0.1f);
    ASSERT_NEAR(RootX(), 1.0f, kNear);
    model_.SetBlendLength(0.5f);
    model_.PlayAnimation("zero", 1.0f, -1, 0);
    EXPECT_TRUE(model_.GetFlags() & SkeletonModel::kCrossFading);
    Step(0.25f);
    EXPECT_NEAR(RootX(), 0.5f, kNear) << "half the fade covers half the way";
    Step(0.25f);
    EXPECT_NEAR(RootX(), 0.0f, kNear) << "the last step lands on the target";
    EXPECT_TRUE(std::isfinite(RootX()));
    Step(0.25f);
    EXPECT_FALSE(model_.GetFlags() & SkeletonModel::kCrossFading);
    EXPECT_EQ(model_.GetBlendTime(), -1.0f);
    EXPECT_NEAR(RootX(), 0.0f, kNear);
}

TEST_F(SkeletonModelTest, WithoutABlendLengthAnActionSwitchesAtOnce) {
    model_.SetBlendLength(0.0f);
    model_.PlayAnimation("one", 1.0f, -1, 0);
    Step(0.1f);
    model_.PlayAnimation("zero", 1.0f, -1, 0);
    EXPECT_FALSE(model_.GetFlags() & SkeletonModel::kCrossFading);
    Step(0.1f);
    EXPECT_NEAR(RootX(), 0.0f, kNear);
}

TEST_F(SkeletonModelTest, ALoopingLayeredSlotKeepsAnimating) {
    model_.SetBlendLength(0.0f);
    model_.PlayAnimation("zero", 1.0f, -1, 0);
    model_.PlayAnimation("walk", 1.0f, 0, SkeletonModel::kSlotLoop);
    // Slot times 0.5, 1.25 (wrapped to 0.25), 1.5 (0.5), 2.75 (0.75).
    const float steps[] = {0.5f, 0.75f, 0.25f, 1.25f};
    const float wantX[] = {0.2f, 0.1f, 0.2f, 0.3f};
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        Step(steps[k]);
        float time = -1.0f;
        EXPECT_NE(model_.GetExtraAnimation(0, &time), nullptr);
        EXPECT_LT(time, 1.0f);
        EXPECT_NEAR(RootX(), wantX[k], kNear);
    }
}

TEST_F(SkeletonModelTest, ASlotThatDoesNotLoopEndsAndFadesBack) {
    model_.SetBlendLength(0.0f);
    model_.PlayAnimation("one", 1.0f, -1, 0);
    model_.PlayAnimation("zero", 1.0f, 0, 0);
    Step(0.5f);
    EXPECT_NEAR(RootX(), 0.0f, kNear);
    model_.SetBlendLength(0.5f);
    Step(0.5f);
    EXPECT_EQ(model_.GetExtraAnimation(0, nullptr), nullptr);
    EXPECT_TRUE(model_.GetLayerFlags() & SkeletonModel::kLayerChanged);
    EXPECT_TRUE(model_.GetFlags() & SkeletonModel::kCrossFading);
    Step(0.25f);
    Step(0.25f);
    EXPECT_NEAR(RootX(), 1.0f, kNear);
}

TEST_F(SkeletonModelTest, MainTimeWrapsOrStops) {
    struct Case {
        const char* what;
        const char* action;
        bool loop;
        float start;
        float dt;
        float wantTime;
        bool wantPlaying;
        float wantX;
    };
    const Case cases[] = {
        {"a looping action wraps and shows its start", "walk", true, 0.9f, 0.3f, 0.2f, true, 0.0f},
        {"an action that does not loop stops", "walk", false, 0.9f, 0.3f, 1.2f, false, -1.0f},
        {"inside the action", "walk", true, 0.25f, 0.25f, 0.5f, true, 0.2f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        model_.SetBlendLength(0.0f);
        model_.actions[c.action]->SetLoop(c.loop);
        model_.PlayAnimation(c.action, 1.0f, -1, 0);
        model_.SetMainTime(c.start);
        Step(c.dt);
        EXPECT_NEAR(model_.GetMainTime(), c.wantTime, kNear);
        EXPECT_EQ((model_.GetFlags() & SkeletonModel::kPlaying) != 0, c.wantPlaying);
        if (c.wantX >= 0.0f) {
            EXPECT_NEAR(RootX(), c.wantX, kNear);
        }
        model_.actions[c.action]->SetLoop(true);
    }
}

TEST_F(SkeletonModelTest, ALoopingActionWithoutLengthKeepsTimeZero) {
    Add("empty", StillAt(3.0f, 0.0f));
    model_.SetBlendLength(0.0f);
    model_.PlayAnimation("empty", 1.0f, -1, 0);
    for (int k = 0; k < 3; ++k) Step(0.1f);
    EXPECT_EQ(model_.GetMainTime(), 0.0f);
    EXPECT_TRUE(std::isfinite(RootX()));
}

TEST_F(SkeletonModelTest, AnEmptyNameStopsOnlyItsSlot) {
    model_.SetBlendLength(0.0f);
    model_.PlayAnimation("one", 1.0f, -1, 0);
    model_.PlayAnimation("zero", 0.5f, 0, 0);
    model_.PlayAnimation("four", 0.5f, 1, 0);
    model_.PlayAnimation("", 0.0f, 1, 0);
    EXPECT_NE(model_.GetExtraAnimation(0, nullptr), nullptr);
    EXPECT_EQ(model_.GetExtraAnimation(1, nullptr), nullptr);
    EXPECT_NE(model_.GetMainAction(), nullptr);
    model_.PlayAnimation("", 0.0f, -1, 0);
    EXPECT_EQ(model_.GetMainAction(), nullptr);
    EXPECT_FALSE(model_.GetFlags() & SkeletonModel::kPlaying);
    // An unknown name plays the first animation; a slot past the two does nothing.
    model_.PlayAnimation("nothing", 1.0f, -1, 0);
    EXPECT_EQ(model_.GetMainAction(), model_.actions["one"]);
    model_.PlayAnimation("zero", 1.0f, 2, 0);
    EXPECT_EQ(model_.GetMainAction(), model_.actions["one"]);
    EXPECT_EQ(model_.GetExtraAnimation(2, nullptr), nullptr);
}

TEST_F(SkeletonModelTest, ChannelsBlendByTheirLayerWeights) {
    struct Case {
        const char* what;
        float weights[3];
        float wantX;  // the channels stand at 4, 8 and 12
    };
    const Case cases[] = {
        {"1, 1, 2 give a quarter, a quarter and a half", {1, 1, 2}, 9.0f},
        {"one channel alone", {1, 0, 0}, 4.0f},
        {"no weight at all gives the bind pose", {0, 0, 0}, 0.0f},
    };
    const char* names[] = {"four", "eight", "twelve"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        model_.GetChannels();
        for (std::uint32_t n = 0; n < 3; ++n) {
            Zel::AnimationChannel* channel = model_.GetChannel(n);
            channel->SetBlendInTime(0.0f);
            if (c.weights[n] == 0.0f && c.weights[0] != 0.0f)
                continue;  // not playing at all
            ASSERT_EQ(channel->PlayAction(names[n], true, 0), 0);
            channel->SetLayerWeight(c.weights[n]);
            channel->Update(0.1f);
        }
        model_.SampleFromChannels();
        EXPECT_NEAR(RootX(), c.wantX, kNear);
        EXPECT_TRUE(std::isfinite(model_.GetBoneState(0)->rotation[3]));
    }
    EXPECT_EQ(model_.GetChannel(5), nullptr);
}

// The angle of the rotation that takes q0 to q1, degrees.
float AngleBetween(const float* q0, const float* q1) {
    const float dot = std::fabs(q0[0] * q1[0] + q0[1] * q1[1] + q0[2] * q1[2] + q0[3] * q1[3]);
    return 2.0f * std::acos(std::min(dot, 1.0f)) * 57.29578f;
}

TEST_F(SkeletonModelTest, LookAtTurnsFromTheSampledPoseWithinItsLimits) {
    struct Case {
        const char* what;
        bool spine;
        float aside;  // degrees between the bone's forward and the target, about z
        float wantTurn;
    };
    const Case cases[] = {
        {"head, 30 degrees aside", false, 30.0f, 30.0f},
        {"head, 60 degrees aside is held to 45", false, 60.0f, 45.0f},
        {"head, a target behind leaves the pose", false, 180.0f, 0.0f},
        {"spine, 40 degrees aside", true, 40.0f, 40.0f},
        {"spine, 90 degrees aside is held to 60", true, 90.0f, 60.0f},
    };
    Add("still", SmallAction(1, 1.0f));
    model_.skeleton->SetRoleBones(3, 2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestModel plain;
        plain.actions = model_.actions;
        plain.skeleton = model_.skeleton;
        plain.RebuildBoneStates();
        model_.RebuildBoneStates();
        for (TestModel* m : {&model_, &plain}) {
            m->SetFlags(0);
            m->SetBlendLength(0.0f);
            m->PlayAnimation("still", 1.0f, -1, 0);
        }
        const std::uint32_t bone = c.spine ? 2 : 3;
        float head[16];
        // Setting a target (without the flag bit, so nothing turns) has the head evaluated.
        const float anywhere[3] = {0.0f, 0.0f, 0.0f};
        plain.SetHeadLookTarget(anywhere);
        plain.Update(nullptr, 0.1f, ++frame_);
        plain.GetCurrentBoneWorldMatrix(3, head);
        // The head looks along its y axis; the spine along the node's -y.
        float forward[3] = {head[1], head[5], 0.0f};
        if (c.spine) {
            forward[0] = 0.0f;
            forward[1] = -1.0f;
        }
        const float a = c.aside / 57.29578f;
        const float* root = plain.GetRootWorldPosition();
        const float target[3] = {
            root[0] + 10.0f * (forward[0] * std::cos(a) - forward[1] * std::sin(a)),
            root[1] + 10.0f * (forward[0] * std::sin(a) + forward[1] * std::cos(a)), head[11]};
        Step(0.1f);
        model_.SetFlags(model_.GetFlags() |
                        (c.spine ? SkeletonModel::kSpineLookAt : SkeletonModel::kHeadLookAt));
        if (c.spine)
            model_.SetSpineLookTarget(target);
        else
            model_.SetHeadLookTarget(target);
        float turn = 0.0f;
        for (int k = 0; k < 6; ++k) {
            Step(0.1f);
            plain.Update(nullptr, 0.1f, frame_);
            const float now = AngleBetween(model_.GetBoneState(bone)->rotation,
                                           plain.GetBoneState(bone)->rotation);
            EXPECT_LE(now, (c.spine ? 60.0f : 45.0f) + 0.5f) << k;
            // The turn eases out of where the bone looked when the target was set.
            EXPECT_GE(now, turn - 0.01f) << k;
            if (k == 5) {
                EXPECT_NEAR(now, turn, 0.01f) << "the turn has settled";
            }
            turn = now;
        }
        EXPECT_NEAR(turn, c.wantTurn, 0.5f);
    }
}

class BoneScalePreset : public SkeletonModelTest {
protected:
    ~BoneScalePreset() override { SkeletonModel::ClearBoneScalePresets(); }

    std::string Preset(const std::string& file, const std::vector<mg::BoneScaleEntry>& entries,
                       bool withRoot = true) {
        const std::string text = mg::WriteBoneScalePreset(entries, withRoot);
        return WriteFile(file, std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    // The diagonal of bone n's scale matrix.
    std::array<float, 3> Diagonal(std::uint32_t n) const {
        const float* m = model_.GetBoneState(n)->scaleMatrix;
        return {m[0], m[5], m[10]};
    }
};

TEST_F(BoneScalePreset, TheThirdNumberScalesAlongTheBoneAndTheOthersAcrossIt) {
    // Length axis y, cross axes x then z.
    model_.skeleton->GetBone(3)->SetAxes(1, 0, 2);
    const std::string path =
        Preset("boy.xml", {{"Bip01 Head", "2,3,4"}, {"Nobody", "5,5,5"}, {"", "6,6,6"}});
    ASSERT_TRUE(model_.ApplyBoneScalePreset(path));
    EXPECT_EQ(Diagonal(3), (std::array<float, 3>{2, 4, 3}));
    EXPECT_EQ(model_.GetBoneScalePresetName(), path);
    model_.ResetBoneMatrices();
    EXPECT_EQ(Diagonal(3), (std::array<float, 3>{1, 1, 1}));
    EXPECT_EQ(model_.GetBoneScalePresetName(), "");
}

TEST_F(BoneScalePreset, PresetsAreReadOnceAndEmptyOnesApplyNothing) {
    model_.skeleton->GetBone(3)->SetAxes(1, 0, 2);
    const std::string path = Preset("once.xml", {{"Bip01 Head", "2,3,4"}});
    ASSERT_TRUE(SkeletonModel::LoadBoneScalePreset(path));
    Preset("once.xml", {{"Bip01 Head", "7,7,7"}});
    ASSERT_TRUE(model_.ApplyBoneScalePreset(path));
    EXPECT_EQ(Diagonal(3), (std::array<float, 3>{2, 4, 3})) << "the file is read once";

    const std::string rootless = Preset("rootless.xml", {{"Bip01 Head", "2,3,4"}}, false);
    EXPECT_TRUE(SkeletonModel::LoadBoneScalePreset(rootless));
    EXPECT_FALSE(model_.ApplyBoneScalePreset(rootless));
    EXPECT_FALSE(model_.ApplyBoneScalePreset("missing.xml"));
    EXPECT_FALSE(SkeletonModel::LoadBoneScalePreset("missing.xml"));
}

TEST_F(BoneScalePreset, AnUnreadableNumberKeepsThePreviousEntrysValue) {
    model_.skeleton->GetBone(2)->SetAxes(1, 0, 2);
    model_.skeleton->GetBone(3)->SetAxes(1, 0, 2);
    const std::string path =
        Preset("partial.xml", {{"Bip01 Spine", "2,3,4"}, {"Bip01 Head", "5,x,6"}});
    ASSERT_TRUE(model_.ApplyBoneScalePreset(path));
    EXPECT_EQ(Diagonal(2), (std::array<float, 3>{2, 4, 3}));
    // "5,x,6" reads the 5 only: the second and third stay 3 and 4.
    EXPECT_EQ(Diagonal(3), (std::array<float, 3>{5, 4, 3}));
}

class BoneBounds : public SkeletonModelTest {
protected:
    void SetUp() override {
        SkeletonModelTest::SetUp();
        Zel::SetPhysicsRuntimeMissing(false);
        ASSERT_TRUE(Zel::LoadPhysicsSDK());
        G()->GetConfigManager()->SetValue(79, 1);
    }
    void TearDown() override {
        model_.Reset();
        SkeletonModelTest::TearDown();
    }
    std::string Bounds(const std::string& file, const std::vector<mg::BoneBoundEntry>& entries) {
        const std::string text = mg::WriteBoneBounds(entries);
        return WriteFile(file, std::vector<std::uint8_t>(text.begin(), text.end()));
    }
};

TEST_F(BoneBounds, ShapesFollowTheirBonesAtTheirLocalMatrix) {
    std::array<float, 16> moved = {1, 0, 0, 1, 0, 1, 0, 2, 0, 0, 1, 3, 0, 0, 0, 1};
    mg::BoneBoundEntry sphere{"SPHERE", "ball", "Bip01 Head", 0.5f, 1.0f, moved};
    mg::BoneBoundEntry capsule{"CAPSULE", "arm", "Bip01 Spine", 0.25f, 2.0f, moved};
    mg::BoneBoundEntry box{"BOX", "box", "Bip01 Head"};
    mg::BoneBoundEntry lost{"SPHERE", "lost", "Nobody"};
    mg::BoneBoundEntry orphan{"SPHERE", "orphan", ""};
    mg::BoneBoundEntry bare{"SPHERE", "bare", "Bip01 Head"};
    bare.withLocal = false;
    const std::string path = Bounds("bounds.xml", {sphere, box, capsule, lost, orphan, bare});
    model_.SetBlendLength(0.0f);
    model_.PlayAnimation("walk", 1.0f, -1, 0);
    ASSERT_TRUE(model_.LoadBoneBounds(path));
    ASSERT_EQ(model_.GetBoneBounds().size(), 2u) << "only the sphere and the capsule";

    Step(0.3f);
    const std::uint32_t bones[2] = {3, 2};
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k);
        const Zel::BoundBase* shape = model_.GetBoneBounds()[k];
        Zel::PhxEntity* body = shape->GetPhysicsBody();
        ASSERT_NE(body, nullptr);
        EXPECT_TRUE(body->IsKinematic());
        EXPECT_FALSE(body->IsGravityEnabled());
        EXPECT_EQ(body->GetGroup(), static_cast<std::int32_t>(model_.GetCollisionGroup()));
        float world[16], want[16];
        model_.GetCurrentBoneWorldMatrix(bones[k], world);
        Zel::MultiplyMatrices4(world, moved.data(), want);
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(body->GetPose()[i], want[i], kNear) << i;
    }

    // The per-frame world matrix the host asks for is the one the bodies follow.
    float head[16];
    model_.GetCurrentBoneWorldMatrix(3, head);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(model_.GetBoneWorldMatrix(3)[i], head[i], kNear);
    EXPECT_EQ(model_.GetBoneWorldMatrix(99)[0], 1.0f);

    // With physics off the bodies stay where they were.
    float before[16];
    std::copy_n(model_.GetBoneBounds()[0]->GetPhysicsBody()->GetPose(), 16, before);
    G()->GetConfigManager()->SetValue(79, 0);
    Step(0.3f);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(model_.GetBoneBounds()[0]->GetPhysicsBody()->GetPose()[i], before[i]);

    EXPECT_FALSE(model_.LoadBoneBounds("missing.xml"));
}

TEST_F(BoneBounds, BodyPartSpheresHangOnTheirBonesUntilTheirSlotGoes) {
    model_.SetBlendLength(0.0f);
    model_.PlayAnimation("walk", 1.0f, -1, 0);
    const std::string path = Bounds("file.xml", {{"SPHERE", "file", "Bip01 Spine", 0.5f}});
    ASSERT_TRUE(model_.LoadBoneBounds(path));
    struct Part {
        bool capsule;
        const char* bone;
        std::uint32_t slot;
    };
    const Part parts[] = {
        {false, "Bip01 Head", 3},  {true, "Bip01 Spine", 3}, {false, "Nobody", 3},
        {false, "Bip01 Spine", 4}, {false, "Bip01 Head", 0},
    };
    const float local[16] = {1, 0, 0, 0, 0, 1, 0, 0.5f, 0, 0, 1, 0, 0, 0, 0, 1};
    for (const Part& p : parts) {
        Zel::BoundBase* bound = nullptr;
        if (p.capsule) {
            bound = Zel::AcquireBoundCapsule();
        } else {
            Zel::BoundSphere* sphere = Zel::AcquireBoundSphere();
            sphere->SetRadius(0.3f);
            bound = sphere;
        }
        ASSERT_NE(bound, nullptr);
        bound->SetName(p.bone);
        bound->SetIdentifier(p.slot);
        bound->SetLocalTransform(local);
        model_.AddBodyPartBound(*bound);
        bound->Recycle();
    }
    const auto names = [&] {
        std::vector<std::pair<std::string, std::uint32_t>> out;
        for (const Zel::BoundBase* b : model_.GetBoneBounds())
            out.emplace_back(b->GetParentBone()->GetName(), b->GetIdentifier());
        return out;
    };
    using Named = std::vector<std::pair<std::string, std::uint32_t>>;
    EXPECT_EQ(names(), (Named{{"Bip01 Spine", SkeletonModel::kNoBodyPartSlot},
                              {"Bip01 Head", 3},
                              {"Bip01 Spine", 4},
                              {"Bip01 Head", 0}}))
        << "a capsule and an unknown bone add nothing";
    const auto* sphere = dynamic_cast<const Zel::BoundSphere*>(model_.GetBoneBounds()[1]);
    ASSERT_NE(sphere, nullptr);
    EXPECT_EQ(sphere->GetRadius(), 0.3f);
    ASSERT_NE(sphere->GetPhysicsBody(), nullptr);
    EXPECT_TRUE(sphere->GetPhysicsBody()->IsKinematic());

    Step(0.1f);
    float head[16], want[16];
    model_.GetCurrentBoneWorldMatrix(3, head);
    Zel::MultiplyMatrices4(head, local, want);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(sphere->GetPhysicsBody()->GetPose()[i], want[i], kNear) << i;

    model_.RemoveSlotAttachments(3);
    EXPECT_EQ(names(), (Named{{"Bip01 Spine", SkeletonModel::kNoBodyPartSlot},
                              {"Bip01 Spine", 4},
                              {"Bip01 Head", 0}}));
    model_.RemoveSlotAttachments(0);
    EXPECT_EQ(names(), (Named{{"Bip01 Spine", SkeletonModel::kNoBodyPartSlot}, {"Bip01 Spine", 4}}))
        << "the bounds of a file belong to no slot";
}

TEST_F(BoneBounds, BodiesFollowTheModelAfterItsActionHasStopped) {
    const std::string path = Bounds("still.xml", {{"SPHERE", "ball", "Bip01 Head", 0.5f}});
    model_.SetBlendLength(0.0f);
    model_.actions["walk"]->SetLoop(false);
    model_.PlayAnimation("walk", 1.0f, -1, 0);
    ASSERT_TRUE(model_.LoadBoneBounds(path));
    Step(1.5f);
    ASSERT_FALSE(model_.GetFlags() & SkeletonModel::kPlaying);
    const float moved[3] = {5.0f, 0.0f, 0.0f};
    model_.SetPosition(moved);
    Step(0.1f);
    float head[16];
    model_.GetCurrentBoneWorldMatrix(3, head);
    const float* pose = model_.GetBoneBounds()[0]->GetPhysicsBody()->GetPose();
    EXPECT_NEAR(pose[3], head[3], kNear);
    EXPECT_GT(pose[3], 4.0f) << "the body went along with the model";
    model_.actions["walk"]->SetLoop(true);
}

TEST_F(BoneBounds, RestingBodiesHoldStillUntilWoken) {
    const std::string path = Bounds("rest.xml", {{"SPHERE", "ball", "Bip01 Head", 0.5f}});
    model_.SetBlendLength(0.0f);
    model_.PlayAnimation("walk", 1.0f, -1, 0);
    ASSERT_TRUE(model_.LoadBoneBounds(path));
    Step(0.3f);
    const auto poseOf = [&](std::size_t k) {
        const float* p = model_.GetBoneBounds()[k]->GetPhysicsBody()->GetPose();
        return std::vector<float>(p, p + 16);
    };
    const auto headPose = [&] {
        float head[16];
        model_.GetCurrentBoneWorldMatrix(3, head);
        return std::vector<float>(head, head + 16);
    };
    const std::vector<float> rested = poseOf(0);

    model_.SetBoneBoundsSleeping(true);
    EXPECT_TRUE(model_.AreBoneBoundsSleeping());
    Zel::BoundSphere* part = Zel::AcquireBoundSphere();
    ASSERT_NE(part, nullptr);
    part->SetName("Bip01 Head");
    part->SetIdentifier(2);
    model_.AddBodyPartBound(*part);
    part->Recycle();
    ASSERT_EQ(model_.GetBoneBounds().size(), 2u);
    const std::vector<float> added = poseOf(1);
    const float moved[3] = {5.0f, 0.0f, 0.0f};
    model_.SetPosition(moved);
    Step(0.3f);
    EXPECT_EQ(poseOf(0), rested) << "a resting body is not moved";
    EXPECT_EQ(poseOf(1), added) << "a bound added while the others rest rests too";

    model_.SetBoneBoundsSleeping(false);
    EXPECT_FALSE(model_.AreBoneBoundsSleeping());
    // Waking poses the bodies at their bones at once, without waiting for the next frame.
    for (std::size_t k = 0; k < 2; ++k) {
        const std::vector<float> pose = poseOf(k), head = headPose();
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(pose[i], head[i], kNear) << k << " " << i;
    }
}

TEST_F(SkeletonModelTest, TheFactoryResetRestoresTheConstructedPlayback) {
    model_.SetBlendLength(0.0f);
    model_.PlayAnimation("one", 1.0f, -1, 0);
    model_.PlayAnimation("zero", 0.5f, 0, SkeletonModel::kSlotLoop);
    Step(0.1f);
    model_.Reset();
    EXPECT_EQ(model_.GetBlendLength(), 0.3f);
    EXPECT_EQ(model_.GetBlendTime(), -1.0f);
    EXPECT_EQ(model_.GetMainAction(), nullptr);
    EXPECT_EQ(model_.GetExtraAnimation(0, nullptr), nullptr);
    EXPECT_EQ(model_.GetMainTime(), 0.0f);
    EXPECT_EQ(model_.GetLayerFlags(), 0u);
}

}  // namespace
