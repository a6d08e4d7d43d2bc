#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "ActionFixture.h"
#include "Core/GlobalConfigManager.h"
#include "Entity/Character/AnimationState.h"
#include "Entity/Geometry/AnimationTrack.h"
#include "support/LogCapture.h"

namespace {

using namespace ZelTest;
using Zel::Action;
using Zel::AnimationState;

constexpr float kNear = 1e-4f;

class ActionSample : public ActionTest {
protected:
    void SetUp() override {
        skeleton_ = Small();
        ASSERT_NE(skeleton_, nullptr);
        ASSERT_EQ(skeleton_->GetBoneIndex("Bip01 Pelvis"), 1);
        ASSERT_EQ(skeleton_->GetBoneIndex("Bip01 Head"), 3);
        ASSERT_EQ(skeleton_->GetBoneIndex("Loose"), 4);
    }
    Zel::Skeleton* skeleton_ = nullptr;
};

TEST_F(ActionSample, SamplingTable) {
    struct Case {
        const char* what;
        std::uint32_t frames;
        bool loop;
        bool trackSwitch;
        float before;  // sampled first (negative: not)
        float t;
        float wantTime;  // the time the caller sees
        float wantRootX;
        float wantTurn;  // the root's rotation angle about z
    };
    const Case cases[] = {
        {"inside, on a frame", 5, true, true, -1, 0.5f, 0.5f, 0.2f, 0.2f},
        {"between two frames", 5, true, true, -1, 0.625f, 0.625f, 0.25f, 0.25f},
        {"at the length, looping", 5, true, true, 0.5f, 1.5f, 0.0f, 0.0f, 0.0f},
        {"at the length, not looping", 5, false, true, -1, 1.5f, 1.5f, 0.4f, 0.4f},
        {"past the shorter track, looping", 5, true, true, 0.5f, 1.2f, 1.2f, 0.0f, 0.0f},
        {"past the shorter track, not looping", 5, false, true, -1, 1.2f, 1.2f, 0.4f, 0.4f},
        {"one-frame track", 1, true, true, -1, 0.9f, 0.9f, 0.0f, 0.0f},
        {"switch 29 off keeps the pose", 5, true, false, 0.5f, 0.0f, 0.0f, 0.2f, 0.2f},
        {"a negative time starts the action", 5, true, true, 0.5f, -3.0f, 0.0f, 0.0f, 0.0f},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Action* a =
            Load("small.fig", "table" + std::to_string(n++) + ".ac6", SmallAction(c.frames, 1.5f));
        ASSERT_NE(a, nullptr);
        a->SetLoop(c.loop);
        G()->GetConfigManager()->SetValue(Zel::AnimationTrack::kUpdateTrackAnimationsSwitch, 1);
        if (c.before >= 0) {
            float t = c.before;
            a->Sample(t);
        }
        G()->GetConfigManager()->SetValue(Zel::AnimationTrack::kUpdateTrackAnimationsSwitch,
                                          c.trackSwitch ? 1 : 0);
        float t = c.t;
        a->Sample(t);
        EXPECT_NEAR(t, c.wantTime, kNear);
        const AnimationState* root = a->GetBoneState(0);
        ASSERT_NE(root, nullptr);
        EXPECT_NEAR(root->GetPosition()[0], c.wantRootX, kNear);
        EXPECT_NEAR(root->GetRotation()[2], std::sin(c.wantTurn / 2), kNear);
        EXPECT_NEAR(root->GetRotation()[3], std::cos(c.wantTurn / 2), kNear);
        // A bone no track names has no state.
        EXPECT_EQ(a->GetBoneState(4), nullptr);
        EXPECT_EQ(a->GetBoneState(99), nullptr);
    }
}

TEST_F(ActionSample, BonesBelowAParentTakeTheirBindPositionExceptBelowTheHead) {
    Action* a = Load("small.fig", "bones.ac6", SmallAction(5, 1.0f));
    ASSERT_NE(a, nullptr);
    float t = 0.5f;
    a->Sample(t);
    // The pelvis turns but stands at its bind offset.
    const AnimationState* pelvis = a->GetBoneState(1);
    EXPECT_NEAR(pelvis->GetPosition()[2], 10.0f, kNear);
    EXPECT_NEAR(pelvis->GetRotation()[2], std::sin(0.1f), kNear);
    // The constant spine takes the bone's local pose; its own rotation is not kept.
    const AnimationState* spine = a->GetBoneState(2);
    EXPECT_NEAR(spine->GetPosition()[2], 10.0f, kNear);
    EXPECT_NEAR(spine->GetRotation()[3], 1.0f, kNear);
    // The head keeps what its track says: no position keys, so its constant (the bind offset).
    const AnimationState* head = a->GetBoneState(3);
    EXPECT_NEAR(head->GetPosition()[2], 10.0f, kNear);
    EXPECT_NEAR(head->GetRotation()[2], std::sin(0.1f), kNear);
}

TEST_F(ActionSample, TwoUsersOfOneActionDoNotDisturbEachOther) {
    Action* a = Load("small.fig", "shared.ac6", SmallAction(40, 9.75f));
    ASSERT_NE(a, nullptr);
    Zel::ActionSampler first, second;
    first.Bind(a->GetResource(), skeleton_);
    second.Bind(a->GetResource(), skeleton_);
    for (int step = 0; step < 39; ++step) {
        float t1 = 0.25f * static_cast<float>(step);
        float t2 = 0.25f * static_cast<float>(38 - step);
        first.Sample(t1, true);
        second.Sample(t2, true);
        EXPECT_NEAR(first.GetState(0)->GetPosition()[0], 0.1f * static_cast<float>(step), 2e-4f);
        EXPECT_NEAR(second.GetState(0)->GetPosition()[0], 0.1f * static_cast<float>(38 - step),
                    2e-4f);
    }
}

TEST_F(ActionSample, RootScalingSwitches) {
    Action* a = Load("small.fig", "scale.ac6", SmallAction(5, 1.0f));
    ASSERT_NE(a, nullptr);
    G()->GetConfigManager()->SetActorMoveScale(2.0f);
    Zel::ActionSampler& host = a->GetHostSampler();
    host.SetHeightScale(true);
    host.SetHeightFactor(3.0f);
    host.SetPlanarScale(true);
    float t = 0.5f;
    a->Sample(t);
    EXPECT_NEAR(a->GetBoneState(0)->GetPosition()[0], 0.4f, kNear);
    // Reset puts the switches off again.
    a->Reset();
    EXPECT_FALSE(a->GetHostSampler().GetPlanarScale());
    EXPECT_EQ(a->GetHostSampler().GetHeightFactor(), 1.0f);
    EXPECT_TRUE(a->IsLooping());
    EXPECT_EQ(a->GetResource(), nullptr);
}

TEST_F(ActionSample, BadTimingIsRefused) {
    struct Case {
        const char* what;
        float interval;
        float length;
        bool loads;
        std::uint32_t tracks;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {"zero interval", 0.0f, 1.0f, true, 3}, {"negative interval", -0.25f, 1.0f, true, 3},
        {"NaN interval", nan, 1.0f, true, 3},   {"negative length", 0.25f, -1.0f, false, 0},
        {"NaN length", 0.25f, nan, false, 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        mg::CompressedActionDesc desc = SmallAction(5, c.length);
        desc.tracks[0].frameInterval = c.interval;
        LogCapture log;
        Action* a = Load("small.fig", "bad" + std::to_string(n++) + ".ac6", desc);
        EXPECT_EQ(a != nullptr, c.loads);
        if (!a)
            continue;
        // The root's track is refused; the constant spine needs no interval.
        EXPECT_EQ(a->GetResource()->GetTrackCount(), c.tracks);
        EXPECT_EQ(a->GetBoneState(0), nullptr);
        EXPECT_EQ(log.Count("refused for its frame interval"), 1);
        float t = 0.5f;
        a->Sample(t);
    }
}

TEST_F(ActionSample, AFailedReadLeavesNothingBehind) {
    Action* a = NewAction();
    WriteFile("cut.ac6", std::vector<std::uint8_t>{1, 2, 3});
    EXPECT_FALSE(Actions().LoadActionResource(*a, "small.fig", "cut.ac6"));
    EXPECT_EQ(Actions().GetByName("cut.ac6"), nullptr);
    EXPECT_EQ(a->GetResource(), nullptr);
    EXPECT_EQ(a->GetBoneStateCount(), 0u);
    EXPECT_FALSE(Actions().LoadActionResource(*a, "small.fig", "missing.ac6"));
    EXPECT_EQ(Actions().GetByName("missing.ac6"), nullptr);
    EXPECT_FALSE(Actions().LoadActionResource(*a, "small.fig", "action.xyz"));
    EXPECT_FALSE(Actions().LoadActionResource(*a, "nobody.fig", "cut.ac6"));
}

TEST_F(ActionSample, OneResourceServesEveryActionOfItsName) {
    Action* a = Load("small.fig", "one.ac6", SmallAction(5, 1.0f));
    Action* b = NewAction();
    ASSERT_NE(a, nullptr);
    ASSERT_TRUE(Actions().LoadActionResource(*b, "small.fig", "one.ac6"));
    EXPECT_EQ(a->GetResource(), b->GetResource());
    EXPECT_EQ(a->GetResourceName(), b->GetResourceName());
    EXPECT_FLOAT_EQ(a->GetLength(), 1.0f);
    EXPECT_EQ(a->GetSize(), 76u + 48u * 5u);
    EXPECT_STREQ(a->GetResource()->GetBoneName(1), "Bip01 Pelvis");
}

TEST_F(ActionSample, BoneNamesOutOfRangeAreLogged) {
    Zel::ActionResource lone(nullptr, "lone", "", 0);
    LogCapture log;
    EXPECT_EQ(lone.GetBoneName(0), nullptr);
    EXPECT_EQ(log.Count("m_pSkeleton为空"), 1);
    Action* a = Load("small.fig", "names.ac6", SmallAction(5, 1.0f));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetResource()->GetBoneName(7), nullptr);
    EXPECT_EQ(log.Count("骨骼id超出范围：n=7,m_vBoneIDs[n] = -1"), 1);
}

TEST_F(ActionSample, ReplacingTheSkeletonGivesTheOldOneBack) {
    Zel::Skeleton* other = Build("other.fig", SmallSkeletonNodes());
    ASSERT_NE(other, nullptr);
    Zel::ActionResource* r = static_cast<Zel::ActionResource*>(Actions().Create("replace.ac6"));
    const std::int32_t before = other->GetRefCount();
    Actions().ReplaceSharedAction(*r, "other.fig");
    EXPECT_EQ(r->GetSkeleton(), other);
    EXPECT_EQ(other->GetRefCount(), before + 1);
    Actions().ReplaceSharedAction(*r, "small.fig");
    EXPECT_EQ(r->GetSkeleton(), skeleton_);
    EXPECT_EQ(other->GetRefCount(), before);
    Actions().ReplaceSharedAction(*r, "");
    EXPECT_EQ(r->GetSkeleton(), nullptr);
}

}  // namespace
