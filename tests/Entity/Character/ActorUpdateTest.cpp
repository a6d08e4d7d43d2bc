// The actor's frame: the switches that gate it, the root point under the feet, the planted-foot
// decisions, foot-lock state kept per actor, and the root re-base keeping skin matrices in model
// space.
#include <gtest/gtest.h>

#include <cmath>

#include "ActorFixture.h"
#include "Entity/Character/AnimationChannel.h"
#include "Entity/Character/Bone.h"
#include "Entity/Geometry/TransformMath.h"

namespace {

using namespace ZelTest;
using Zel::Actor;

constexpr float kNear = 1e-4f;

std::int32_t Bone(const char* name) {
    return ZelModelGen::ActorBoneIndex(name);
}

class ActorUpdateTest : public ActorTest {
protected:
    Actor* Walking() {
        Actor* a = Dressed();
        EXPECT_EQ(a->GetChannel(0)->PlayAction("walk", true, 0), 0);
        return a;
    }
};

TEST_F(ActorUpdateTest, WithLockingOffTheRootPointIsTheMidpointOfTheFeet) {
    Actor* a = Walking();
    std::vector<float> firstLeft;
    for (int frame = 0; frame < 12; ++frame) {
        Step(*a, 0.05f);
        const std::vector<float> l = ModelPosition(*a, Bone("Bip01 L Foot"));
        const std::vector<float> r = ModelPosition(*a, Bone("Bip01 R Foot"));
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(a->GetRootPoint()[k], 0.5f * (l[k] + r[k]), kNear) << frame << " " << k;
        if (frame == 0)
            firstLeft = l;
    }
    // The walk moved the feet: the rule was tested on more than one pose.
    EXPECT_GT(std::fabs(ModelPosition(*a, Bone("Bip01 L Foot"))[1] - firstLeft[1]), 0.1f);
}

TEST_F(ActorUpdateTest, SwitchesAndNegativeTimeGateTheFrame) {
    struct Case {
        const char* what;
        std::uint32_t offSwitch;  // 0: none
        float dt;
        bool moves;
    };
    const Case cases[] = {{"running", 0, 0.25f, true},
                          {"no update at all", Actor::kRunUpdateSwitch, 0.25f, false},
                          {"actors not updated", Actor::kUpdateActorSwitch, 0.25f, false},
                          {"actions not updated", Actor::kUpdateActionsSwitch, 0.25f, false},
                          {"negative time", 0, -0.25f, false}};
    for (const Case& c : cases) {
        Actor* a = Walking();
        Step(*a, 0.1f);
        const float time = a->GetChannel(0)->GetPlayTime();
        const float rootY = a->GetRootPoint()[1];
        if (c.offSwitch)
            G()->GetConfigManager()->SetValue(c.offSwitch, 0);
        Step(*a, c.dt);
        EXPECT_EQ(a->GetChannel(0)->GetPlayTime() != time, c.moves) << c.what;
        EXPECT_EQ(std::fabs(a->GetRootPoint()[1] - rootY) > kNear, c.moves) << c.what;
        if (c.offSwitch)
            G()->GetConfigManager()->SetValue(c.offSwitch, 1);
    }
}

TEST(ActorFootLock, ChoosePlantedFootDecisionTable) {
    const Zel::FootLockParams p;  // lifted-foot limit 0.8
    struct Case {
        const char* what;
        float a[2], z[2], s[2], phase;
        int foot;
    };
    const Case cases[] = {
        {"nearer left", {1, 2}, {0, 0}, {0, 0}, 0.5f, 0},
        {"nearer right", {2, 1}, {0, 0}, {0, 0}, 0.5f, 1},
        {"equal measures: left", {1, 1}, {0, 0}, {0, 0}, 0.5f, 0},
        {"left lifted high", {1, 2}, {0.9f, 0.1f}, {0, 0}, 0.5f, 1},
        {"left lifted a little, right still and near late",
         {0.3f, 0.4f},
         {0.5f, 0.1f},
         {1.5f, 0.2f},
         0.6f,
         1},
        {"the same early", {0.3f, 0.4f}, {0.5f, 0.1f}, {1.5f, 0.2f}, 0.4f, 0},
        {"the same, right too far", {0.2f, 0.6f}, {0.5f, 0.1f}, {1.5f, 0.2f}, 0.6f, 0},
        {"the same, left too slow", {0.3f, 0.4f}, {0.5f, 0.1f}, {0.9f, 0.2f}, 0.6f, 0},
        {"the same, ratio of speeds 2", {0.3f, 0.4f}, {0.5f, 0.1f}, {1.2f, 0.6f}, 0.6f, 0},
        {"right foot standing dead still: no ratio",
         {0.3f, 0.4f},
         {0.5f, 0.1f},
         {1.5f, 0.0f},
         0.6f,
         0},
        {"right lifted high", {2, 1}, {0.1f, 0.9f}, {0, 0}, 0.5f, 0},
        {"right lifted a little, left still and near late",
         {0.4f, 0.3f},
         {0.1f, 0.5f},
         {0.2f, 1.5f},
         0.6f,
         0},
        {"left dead still: no ratio", {0.4f, 0.3f}, {0.1f, 0.5f}, {0.0f, 1.5f}, 0.6f, 1},
        {"right default, right lower", {2, 1}, {0.5f, 0.1f}, {0, 0}, 0.5f, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Zel::ChoosePlantedFoot(p, c.a, c.z, c.s, c.phase), c.foot) << c.what;
}

TEST(ActorFootLock, TheDirectionRuleNeedsRootMotion) {
    const Zel::FootLockParams p;
    const float low[2][3] = {{0, 0, 0.1f}, {0.2f, 0, 0.1f}};
    const float high[2][3] = {{0, 0, 0.5f}, {0.2f, 0, 0.1f}};
    struct Case {
        const char* what;
        const float (*feet)[3];
        float left[3], right[3], root[2];
        int foot;
    };
    const Case cases[] = {
        {"left swings along the root", low, {3, 0, 0}, {0, 0, 0}, {1, 0}, 0},
        {"right swings along the root", low, {0, 0, 0}, {0, 3, 0}, {0, 1}, 1},
        {"the root stands still", low, {3, 0, 0}, {0, 0, 0}, {0, 0}, -1},
        {"the root too slow", low, {3, 0, 0}, {0, 0, 0}, {0.5f, 0}, -1},
        {"the foot too slow", low, {1, 0, 0}, {0, 0, 0}, {1, 0}, -1},
        {"a foot too high", high, {3, 0, 0}, {0, 0, 0}, {1, 0}, -1},
        {"the foot against the root", low, {-3, 0, 0}, {0, 0, 0}, {1, 0}, -1},
    };
    for (const Case& c : cases) {
        const float v[2][3] = {{c.left[0], c.left[1], c.left[2]},
                               {c.right[0], c.right[1], c.right[2]}};
        EXPECT_EQ(Zel::ChooseByDirection(p, c.feet, v, c.root), c.foot) << c.what;
    }
}

TEST(ActorFootLock, TheHostCommandSetsSwitchAndThresholds) {
    Zel::FootLockParams::Global() = Zel::FootLockParams{};
    float block[10];
    for (int i = 0; i < 10; ++i) block[i] = static_cast<float>(i);
    const std::uint8_t on = 1, other = 2;
    Zel::FootLockParams::Configure(&on, block);
    const Zel::FootLockParams& p = Zel::FootLockParams::Global();
    EXPECT_TRUE(p.enabled);
    EXPECT_EQ(p.rootHeightLimit, 1.0f);
    EXPECT_EQ(p.rootSpeed, 2.0f);
    EXPECT_EQ(p.footSpeed, 3.0f);
    EXPECT_EQ(p.predictedHeightGap, 4.0f);
    EXPECT_EQ(p.footHeight, 5.0f);
    EXPECT_EQ(p.directionAgreement, 6.0f);
    EXPECT_EQ(p.footSpreadLimit, 7.0f);
    EXPECT_EQ(p.currentHeightGap, 8.0f);
    EXPECT_EQ(p.liftedFoot, 9.0f);
    Zel::FootLockParams::Configure(&other, nullptr);
    EXPECT_TRUE(p.enabled) << "another byte leaves the switch";
    Zel::FootLockParams::Configure(nullptr, block);
    EXPECT_FALSE(p.enabled);
    EXPECT_EQ(p.liftedFoot, 9.0f) << "switching off changes nothing else";
    Zel::FootLockParams::Global() = Zel::FootLockParams{};
}

TEST_F(ActorUpdateTest, TwoActorsKeepTheirOwnFootLockState) {
    Zel::FootLockParams::Global().enabled = true;
    Actor* a = Walking();
    Actor* b = Walking();
    Step(*a, 0.1f);
    Step(*b, 0.05f);
    EXPECT_FLOAT_EQ(a->GetFootLockState().accumulatedTime, 0.1f);
    EXPECT_FLOAT_EQ(b->GetFootLockState().accumulatedTime, 0.05f);
    Step(*a, 0.1f);  // past the snapshot interval: a takes its snapshot
    EXPECT_EQ(a->GetFootLockState().accumulatedTime, 0.0f);
    EXPECT_NE(a->GetFootLockState().snapshotRoot[1], 0.0f);
    EXPECT_FLOAT_EQ(b->GetFootLockState().accumulatedTime, 0.05f);
    EXPECT_EQ(b->GetFootLockState().snapshotRoot[1], 0.0f);
    // With locking on and no decision made yet, the root stands on the left foot.
    const std::vector<float> l = ModelPosition(*a, Bone("Bip01 L Foot"));
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(a->GetRootPoint()[k], l[k], kNear);
}

TEST_F(ActorUpdateTest, TheRootRebaseKeepsSkinMatricesInModelSpace) {
    Zel::FootLockParams::Global().enabled = true;
    Actor* a = Walking();
    // Away from the origin, world and model space differ.
    const float place[3] = {5.0f, 2.0f, 0.0f};
    a->SetPosition(place);
    Zel::AnimationChannel& channel = *a->GetChannel(0);
    channel.SetCrossFadeTime(0.5f);
    ASSERT_EQ(channel.SetNextAction("idle", false, 0), 0);
    // The foot planted when the hand-over begins is where the root target was taken.
    bool rebased = false;
    for (int frame = 0; frame < 20 && !rebased; ++frame) {
        Step(*a, 0.05f);
        rebased = channel.RootMotionInProgress() && channel.PendingActionReady();
    }
    ASSERT_TRUE(rebased);
    const float* applied = channel.GetAppliedOffset();
    EXPECT_GT(std::hypot(applied[0], applied[1]), 0.1f) << "the bones were moved";
    const Zel::Skeleton& skeleton = *a->GetSkeleton();
    for (std::uint32_t i = 0; i < a->GetBoneStateCount(); ++i) {
        const Zel::BoneState& state = *a->GetBoneState(i);
        float expected[16];
        Zel::MultiplyMatrices4(state.modelMatrix, skeleton.GetBone(i)->GetInverseBindMatrix(),
                               expected);
        for (int k = 0; k < 16; ++k) ASSERT_NEAR(state.skinMatrix[k], expected[k], kNear) << i;
    }
    // The root stands on the planted foot, in world space.
    float foot[16];
    a->GetCurrentBoneWorldMatrix(
        static_cast<std::uint32_t>(skeleton.GetFootBone(a->GetFootLockState().plantedFoot)), foot);
    EXPECT_NEAR(a->GetRootPoint()[0], foot[3], kNear);
    EXPECT_NEAR(a->GetRootPoint()[1], foot[7], kNear);
}

}  // namespace

namespace {

// A model whose bone is scaled draws it scaled only while its own or the global bone-scale switch
// is on; with both off the actor's skin matrices are those of the unscaled pose.
TEST_F(ActorUpdateTest, BoneScaleReachesTheSkinMatricesWhenEitherSwitchIsOn) {
    Actor* a = Dressed();
    const auto spine = static_cast<std::uint32_t>(Bone("Bip01 Spine"));
    Step(*a, 0.0f);
    std::vector<float> plain(a->GetBoneState(spine)->skinMatrix,
                             a->GetBoneState(spine)->skinMatrix + 16);
    // What a pinch scale or a bone-scale preset leaves in the bone's scale matrix.
    for (int k : {0, 5, 10}) a->GetBoneState(spine)->scaleMatrix[k] = 2.0f;
    struct Case {
        bool model;
        bool global;
        bool scaled;
    };
    const Case cases[] = {{false, false, false}, {true, false, true}, {false, true, true}};
    for (const Case& c : cases) {
        a->SetBoneScaleEnabled(c.model ? 1 : 0);
        Actor::SetGlobalBoneScale(c.global);
        Step(*a, 0.0f);
        const float* skin = a->GetBoneState(spine)->skinMatrix;
        float difference = 0.0f;
        for (int k = 0; k < 16; ++k) difference += std::fabs(skin[k] - plain[k]);
        EXPECT_EQ(difference > 0.5f, c.scaled) << c.model << c.global << " diff " << difference;
    }
    Actor::SetGlobalBoneScale(false);
}

// Setting a look target takes the bone's world matrix as the turn's start; the skin matrices
// a bone-scaled actor drew with stay as its update made them, even when the looking bone is one
// no evaluation needed so far.
TEST_F(ActorUpdateTest, ALookTargetLeavesABoneScaledActorsSkinMatricesAlone) {
    Actor* a = Dressed();
    const auto spine = static_cast<std::uint32_t>(Bone("Bip01 Spine"));
    for (int k : {0, 5, 10}) a->GetBoneState(spine)->scaleMatrix[k] = 2.0f;
    a->SetBoneScaleEnabled(1);
    Step(*a, 0.0f);
    const std::int32_t head = a->GetSkeleton()->GetHeadBone();
    ASSERT_GE(head, 0);
    a->GetBoneState(static_cast<std::uint32_t>(head))->flags &= ~Zel::BoneState::kNeeded;
    std::vector<float> skins;
    for (std::uint32_t n = 0; n < a->GetBoneStateCount(); ++n)
        skins.insert(skins.end(), a->GetBoneState(n)->skinMatrix,
                     a->GetBoneState(n)->skinMatrix + 16);
    const float target[3] = {0.0f, -10.0f, 1.0f};
    a->SetHeadLookTarget(target);
    a->SetSpineLookTarget(target);
    for (std::uint32_t n = 0; n < a->GetBoneStateCount(); ++n)
        for (int k = 0; k < 16; ++k)
            EXPECT_EQ(a->GetBoneState(n)->skinMatrix[k], skins[16 * n + k]) << n << " " << k;
}

// The bone world matrices are cached per frame: a moved actor must answer the new frame's
// matrices, not those cached at its first frame.
TEST_F(ActorUpdateTest, BoneWorldMatricesFollowTheActorFromFrameToFrame) {
    Actor* a = Dressed();
    const auto spine = static_cast<std::uint32_t>(Bone("Bip01 Spine"));
    a->Update(nullptr, 0.0f, 1);
    const float before = a->GetBoneWorldMatrix(spine)[3];
    const float moved[3] = {5.0f, 0.0f, 0.0f};
    a->SetPosition(moved);
    a->Update(nullptr, 0.0f, 2);
    EXPECT_NEAR(a->GetBoneWorldMatrix(spine)[3] - before, 5.0f, kNear);
}

}  // namespace

namespace {

// A channel takes the names of the action tree and, after them, of the skeleton's shared set;
// the tree lookup stays with the tree alone.
TEST_F(ActorUpdateTest, AChannelPlaysAnActionOfTheSkeletonsSharedSet) {
    Actor* a = Dressed();
    ASSERT_NE(a->GetSkeleton(), nullptr);
    Zel::ActionManager& actions = *G()->GetActionManager();
    const std::uint64_t set = Zel::ActionManager::SetIdOf(a->GetSkeleton());
    Zel::AnimationChannel& channel = *a->GetChannel(0);
    EXPECT_EQ(channel.PlayAction("walk.ac6", true, 0), 1) << "not shared yet";
    ASSERT_TRUE(actions.AddSharedAction(set, "walk.ac6", a->GetSkeleton()));
    struct Case {
        const char* name;
        int mode;
        bool played;
    };
    for (const Case& c : {Case{"walk", 0, true}, Case{"walk.ac6", 0, true},
                          Case{"walk.ac6", Zel::AnimationChannel::kTreeLookup, false},
                          Case{"missing.ac6", 0, false}}) {
        EXPECT_EQ(channel.PlayAction(c.name, true, c.mode) == 0, c.played) << c.name << c.mode;
        EXPECT_EQ(channel.GetCurrentAction() != nullptr, c.played) << c.name << c.mode;
    }
    EXPECT_EQ(a->FindAction("walk.ac6"), actions.GetSharedActionByName(set, "walk.ac6"));
}

}  // namespace
