#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ActionFixture.h"
#include "Entity/Character/ActionOwner.h"
#include "Entity/Character/AnimationChannel.h"

namespace {

using namespace ZelTest;
using Zel::AnimationChannel;

using StubOwner = NamedActionOwner;

// An action of `frames` frames of 0.25 s whose root stands at x = rootX(f).
mg::CompressedActionDesc RootAction(std::uint32_t frames, float length,
                                    const std::function<float(std::uint32_t)>& rootX) {
    mg::CompressedActionDesc a = SmallAction(frames, length);
    for (std::uint32_t f = 0; f < frames; ++f) a.tracks[0].positions[f].x = rootX(f);
    return a;
}

class ChannelTest : public ActionTest {
protected:
    void SetUp() override {
        owner_.skeleton = Small();
        ASSERT_NE(owner_.skeleton, nullptr);
        // walk: 1 s, root x = 0.1 f; run: 2 s, root x = 0.9; stand: 1 s, root x = 0.
        Add("walk", SmallAction(5, 1.0f));
        Add("run", RootAction(9, 2.0f, [](std::uint32_t) { return 0.9f; }));
        Add("stand", RootAction(5, 1.0f, [](std::uint32_t) { return 0.0f; }));
        channel_.SetOwner(&owner_);
        channel_.SetBlendInTime(0.0f);
    }

    void Add(const std::string& name, const mg::CompressedActionDesc& desc) {
        Zel::Action* a = Load("small.fig", name + ".ac6", desc);
        ASSERT_NE(a, nullptr);
        a->SetName(name);
        owner_.actions[name] = a;
    }

    float RootX(AnimationChannel& c) {
        float p[3], r[4];
        c.SampleBone(0, p, r);
        return p[0];
    }

    // Brings the channel into the state.
    void Enter(AnimationChannel& c, int state) {
        switch (state) {
            case 0:
                c.SetPose("walk");
                break;
            case 1:
                c.SetBlendActions(0, "walk", 1.0f);
                break;
            case 2:
                c.PlayCrossFadeList({"walk", "run", "stand"}, {1.0f, 2.0f}, true);
                break;
            case 3:
                c.PlaySequence({"walk", "run"}, true);
                break;
            case 4:
                c.PlayAction("walk", true, 0);
                break;
            case 5:
                c.PlayAction("walk", true, 0);
                c.SetNextAction("run", true, 0);
                break;
            case 6:
                c.PlaySequenceLoop({"walk", "run"}, true);
                break;
            case 7:
                c.PlaySequenceLoop({"walk", "run"}, true);
                c.SetNextAction("stand", false, 0);
                break;
            default:
                c.Reset();
                break;
        }
        ASSERT_EQ(static_cast<int>(c.GetState()), state);
    }

    StubOwner owner_;
    AnimationChannel channel_;
};

TEST_F(ChannelTest, TransitionTable) {
    using Op = std::function<int(AnimationChannel&)>;
    struct Row {
        const char* op;
        Op run;
        int from;
        int to;
        int result;
        std::uint32_t flagsSet;
        std::uint32_t flagsClear;
    };
    const Op play = [](AnimationChannel& c) { return c.PlayAction("walk", false, 0); };
    const Op playMissing = [](AnimationChannel& c) { return c.PlayAction("nope", true, 0); };
    const Op next = [](AnimationChannel& c) { return c.SetNextAction("run", true, 0); };
    const Op nextMissing = [](AnimationChannel& c) { return c.SetNextAction("nope", true, 0); };
    const Op pose = [](AnimationChannel& c) { return c.SetPose("run"); };
    const Op poseMissing = [](AnimationChannel& c) { return c.SetPose("nope"); };
    const Op blend = [](AnimationChannel& c) { return c.SetBlendActions(1, "run", 1.0f); };
    const Op blendBadIndex = [](AnimationChannel& c) { return c.SetBlendActions(2, "run", 1.0f); };
    const Op reset = [](AnimationChannel& c) {
        c.Reset();
        return 0;
    };
    const Op emptyList = [](AnimationChannel& c) {
        c.PlayCrossFadeList({"nope", "nada"}, {1.0f}, true);
        return 0;
    };
    const Op queue = [](AnimationChannel& c) {
        c.QueueSequence({"stand"}, true);
        return 0;
    };
    const std::uint32_t loop = AnimationChannel::kLoop, nextLoop = AnimationChannel::kNextLoop;
    std::vector<Row> rows;
    for (int s = 0; s <= 8; ++s) {
        rows.push_back({"PlayAction", play, s, 4, 0, 0, loop | AnimationChannel::kStopped});
        rows.push_back({"PlayAction unknown", playMissing, s, 8, 1, loop, 0});
        rows.push_back({"SetPose", pose, s, 0, 0, 0, 0});
        rows.push_back({"SetPose unknown", poseMissing, s, 8, 1, 0, 0});
        rows.push_back({"SetBlendActions", blend, s, 1, 0, 0, 0});
        rows.push_back({"SetBlendActions index 2", blendBadIndex, s, s, 3, 0, 0});
        rows.push_back({"Reset", reset, s, 8, 0, 0, ~0u});
        rows.push_back({"empty cross-fade list", emptyList, s, 8, 0, loop, 0});
        const bool sequence = s == 6 || s == 7;
        rows.push_back({"SetNextAction", next, s, sequence ? 7 : 5, 0, sequence ? 0 : nextLoop, 0});
        rows.push_back({"SetNextAction unknown", nextMissing, s, s, sequence ? 0 : 1, 0, 0});
        rows.push_back({"QueueSequence", queue, s, 7, 0, nextLoop, AnimationChannel::kStopped});
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.op) + " from state " + std::to_string(row.from));
        AnimationChannel c(&owner_);
        c.SetBlendInTime(0.0f);
        Enter(c, row.from);
        EXPECT_EQ(row.run(c), row.result);
        EXPECT_EQ(static_cast<int>(c.GetState()), row.to);
        EXPECT_EQ(c.GetFlags() & row.flagsSet, row.flagsSet);
        EXPECT_EQ(c.GetFlags() & row.flagsClear, 0u);
    }
}

TEST_F(ChannelTest, SetNextActionDuringACrossFadeChangesNothing) {
    channel_.SetCrossFadeTime(0.5f);
    channel_.PlayAction("walk", true, 0);
    ASSERT_EQ(channel_.SetNextAction("run", true, 0), 0);
    for (int i = 0; i < 12; ++i) channel_.Update(0.05f);
    ASSERT_TRUE(channel_.RootMotionInProgress());
    EXPECT_TRUE(channel_.PendingActionReady());
    EXPECT_EQ(channel_.SetNextAction("stand", true, 0), 1);
    EXPECT_EQ(channel_.GetNextActionName(), "run");
}

TEST_F(ChannelTest, TwoActionsBlendByTheMix) {
    channel_.SetBlendActions(0, "walk", 3.0f);
    channel_.SetBlendActions(1, "run", 1.0f);
    channel_.Update(0.1f);
    EXPECT_FLOAT_EQ(channel_.GetMix(), 0.75f);
    // Both are sampled at 0.5 s: walk's root at 0.2, run's at 0.9.
    EXPECT_NEAR(RootX(channel_), 0.75f * 0.2f + 0.25f * 0.9f, 1e-4f);
    channel_.SetBlendActions(0, "walk", 0.0f);
    channel_.SetBlendActions(1, "run", 0.0f);
    channel_.Update(0.1f);
    EXPECT_FLOAT_EQ(channel_.GetMix(), 0.5f);
}

TEST_F(ChannelTest, ACrossFadeMovesMonotonicallyIntoTheNextAction) {
    channel_.SetCrossFadeTime(0.5f);
    channel_.PlayAction("stand", true, 0);
    channel_.SetNextAction("run", false, 0);
    float last = -1.0f;
    bool faded = false;
    for (int i = 0; i < 40; ++i) {
        channel_.Update(0.05f);
        const float x = RootX(channel_);
        EXPECT_GE(x, last - 1e-5f) << "frame " << i;
        last = x;
        faded = faded || channel_.RootMotionInProgress();
    }
    EXPECT_TRUE(faded);
    EXPECT_EQ(channel_.GetState(), AnimationChannel::kSingle);
    EXPECT_EQ(channel_.GetCurrentActionName(), "run");
    EXPECT_NEAR(last, 0.9f, 1e-4f);
    EXPECT_EQ(channel_.GetFlags() & AnimationChannel::kLoop, 0u);
}

TEST_F(ChannelTest, AZeroCrossFadeTimeSwitchesHardAtTheEnd) {
    channel_.PlayAction("stand", true, 0);
    channel_.SetNextAction("run", true, 0);
    for (int i = 0; i < 19; ++i) {
        channel_.Update(0.05f);
        EXPECT_FALSE(channel_.RootMotionInProgress());
        EXPECT_NEAR(RootX(channel_), 0.0f, 1e-5f);
    }
    channel_.Update(0.05f);
    channel_.Update(0.05f);
    EXPECT_EQ(channel_.GetCurrentActionName(), "run");
    EXPECT_NEAR(RootX(channel_), 0.9f, 1e-4f);
}

TEST_F(ChannelTest, ANonLoopingActionEndsStopped) {
    channel_.PlayAction("walk", false, 0);
    for (int i = 0; i < 21; ++i) channel_.Update(0.05f);
    channel_.Update(0.05f);
    EXPECT_NE(channel_.GetFlags() & AnimationChannel::kStopped, 0u);
    EXPECT_EQ(channel_.GetCurrentAction(), nullptr);
    channel_.Update(0.05f);
    EXPECT_EQ(channel_.GetActionTime(), 0.0f);
    // Stopped, SetNextAction plays at once.
    EXPECT_EQ(channel_.SetNextAction("run", true, 0), 0);
    EXPECT_EQ(channel_.GetState(), AnimationChannel::kSingle);
}

TEST_F(ChannelTest, SetPoseSamplesAtHalfASecond) {
    channel_.SetPose("walk");
    EXPECT_NEAR(RootX(channel_), 0.2f, 1e-4f);
}

TEST_F(ChannelTest, CrossFadeListFadesPoseByPoseAndStopsOrRepeats) {
    // Another user has left "stand" at a different time: the list still shows its time-0 pose.
    float t = 0.75f;
    owner_.actions["walk"]->Sample(t);
    for (bool loop : {false, true}) {
        SCOPED_TRACE(loop ? "loop" : "once");
        AnimationChannel c(&owner_);
        c.PlayCrossFadeList({"run", "stand", "walk"}, {1.0f, 2.0f}, loop);
        ASSERT_EQ(c.GetState(), AnimationChannel::kCrossFadeList);
        EXPECT_EQ(c.GetEntryLength(), 1.0f);
        // Halfway through the first fade: run 0.9 into stand 0.
        for (int i = 0; i < 5; ++i) c.Update(0.1f);
        c.Update(0.1f);
        EXPECT_NEAR(c.GetMix(), 0.5f, 1e-4f);
        EXPECT_NEAR(RootX(c), 0.45f, 1e-4f);
        for (int i = 0; i < 4; ++i) c.Update(0.1f);
        EXPECT_EQ(c.GetCurrentActionName(), "stand");
        EXPECT_EQ(c.GetNextActionName(), "walk");
        EXPECT_NEAR(c.GetEntryLength(), 2.0f, 1e-6f);
        // The last pose is walk at time 0 (root x 0), whatever the host left it at.
        for (int i = 0; i < 19; ++i) c.Update(0.1f);
        EXPECT_NEAR(RootX(c), 0.0f, 1e-4f);
        c.Update(0.1f);
        c.Update(0.1f);
        if (loop) {
            EXPECT_EQ(c.GetCurrentActionName(), "run");
            EXPECT_EQ(c.GetNextActionName(), "stand");
            EXPECT_EQ(c.GetEntryIndex(), 0u);
            EXPECT_EQ(c.GetEntryLength(), 1.0f);
        } else {
            EXPECT_NE(c.GetFlags() & AnimationChannel::kStopped, 0u);
            EXPECT_EQ(c.GetCurrentAction(), nullptr);
        }
    }
    EXPECT_NEAR(owner_.actions["walk"]->GetBoneState(0)->GetPosition()[0], 0.3f, 1e-4f);
}

TEST_F(ChannelTest, SequencesQueueOnlyTheLatestAndSetPlayTimeLandsAtTheEnd) {
    channel_.PlaySequenceLoop({"walk", "run"}, false);
    EXPECT_FLOAT_EQ(channel_.GetTotalLength(), 3.0f);
    channel_.SetPlayTime(10.0f);
    EXPECT_EQ(channel_.GetCurrentActionName(), "run");
    EXPECT_FLOAT_EQ(channel_.GetActionTime(), 2.0f);
    EXPECT_FLOAT_EQ(channel_.GetPlayTime(), 3.0f);
    channel_.SetPlayTime(1.5f);
    EXPECT_EQ(channel_.GetEntryIndex(), 1u);
    EXPECT_FLOAT_EQ(channel_.GetActionTime(), 0.5f);
    channel_.SetNextAction("stand", true, 0);
    channel_.SetNextAction("walk", true, 0);
    EXPECT_EQ(channel_.GetState(), AnimationChannel::kQueued);
    EXPECT_EQ(channel_.GetNextActionName(), "walk");
    // The sequence finishes, then the pending list plays as the sequence.
    for (int i = 0; i < 16; ++i) channel_.Update(0.1f);
    EXPECT_EQ(channel_.GetState(), AnimationChannel::kSequence);
    EXPECT_EQ(channel_.GetCurrentActionName(), "walk");
}

TEST_F(ChannelTest, ABlendInLongerThanTheActionIsCutToItsLength) {
    channel_.SetBlendInTime(3.0f);
    channel_.PlaySequence({"walk", "run"}, true);
    EXPECT_FLOAT_EQ(channel_.GetBlendInCountdown(), 1.0f);
    channel_.PlayAction("walk", true, 0);
    EXPECT_FLOAT_EQ(channel_.GetBlendInCountdown(), 3.0f);
    channel_.Update(0.1f);
    EXPECT_NEAR(channel_.GetBlendInFactor(), 1.0f - 0.1f / 2.9f, 1e-5f);
}

TEST_F(ChannelTest, TwoOwnersPlayingOneActionDoNotDisturbEachOther) {
    AnimationChannel a(&owner_), b(&owner_);
    a.SetBlendInTime(0.0f);
    b.SetBlendInTime(0.0f);
    a.PlayAction("walk", true, 0);
    b.PlayAction("walk", true, 0);
    b.SetPlayTime(0.25f);
    for (int i = 0; i < 3; ++i) {
        a.Update(0.25f);
        b.Update(0.25f);
        EXPECT_NEAR(RootX(a), 0.1f * static_cast<float>(i + 1), 1e-4f);
        // b reaches the length on its third step, where a looping action shows its start.
        EXPECT_NEAR(RootX(b), i < 2 ? 0.1f * static_cast<float>(i + 2) : 0.0f, 1e-4f);
    }
}

TEST_F(ChannelTest, RootTargetIsTakenOnlyWhenRequested) {
    const float target[3] = {1, 2, 3};
    channel_.SetRootTarget(target);
    EXPECT_EQ(channel_.GetRootTarget()[0], 0.0f);
    channel_.RequestRootTarget();
    channel_.SetRootTarget(target);
    EXPECT_EQ(channel_.GetRootTarget()[1], 2.0f);
    EXPECT_EQ(channel_.GetFlags() & AnimationChannel::kRootTargetWanted, 0u);
    // The applied offset folds into the accumulated root when an action is played mid-fade.
    channel_.SetCrossFadeTime(0.5f);
    channel_.PlayAction("stand", true, 0);
    channel_.SetNextAction("run", true, 0);
    for (int i = 0; i < 12; ++i) channel_.Update(0.05f);
    ASSERT_TRUE(channel_.RootMotionInProgress());
    const float offset[3] = {0.25f, 0, 0};
    channel_.SetAppliedOffset(offset);
    channel_.PlayAction("run", true, 0);
    EXPECT_EQ(channel_.GetAppliedOffset()[0], 0.0f);
    EXPECT_EQ(channel_.GetNextAction(), nullptr);
}

}  // namespace
