#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "CharacterFixture.h"
#include "Core/GlobalConfigManager.h"
#include "Entity/Character/AnimationState.h"
#include "Entity/Character/Bone.h"
#include "Entity/Geometry/AnimationTrack.h"

namespace {

using Zel::AnimationState;
using Zel::AnimationTrack;

class AnimationStateTest : public ZelTest::CoreRootTest {
protected:
    // A keyed track of four frames of 0.5 s: position keys at the times (x = key index), rotation
    // keys turning about z by 0.2 per key; every frame takes the key of its index.
    std::unique_ptr<AnimationTrack> Keyed(const std::vector<float>& times, float length) {
        auto track = std::make_unique<AnimationTrack>(nullptr, "keyed", "", 0);
        track->SetFrameInterval(0.5f);
        track->SetLength(length);
        track->SetFrameCount(static_cast<std::uint32_t>(times.size()));
        for (std::size_t k = 0; k < times.size(); ++k) {
            const float angle = 0.2f * static_cast<float>(k);
            track->Positions().keys.push_back({static_cast<float>(k), 0, 0, times[k]});
            track->Rotations().keys.push_back(
                {0, 0, std::sin(angle / 2), std::cos(angle / 2), times[k]});
            track->Positions().frameKeys.push_back(static_cast<std::int32_t>(k));
            track->Rotations().frameKeys.push_back(static_cast<std::int32_t>(k));
        }
        track->Positions().last = track->Rotations().last = static_cast<int>(times.size()) - 1;
        return track;
    }
};

TEST_F(AnimationStateTest, NewStatesLoopUntilToldAndRestartLoopsAgain) {
    auto track = Keyed({0, 0.5f, 1, 1.5f}, 1.5f);
    std::unique_ptr<AnimationState> s = track->CreateAnimationState();
    EXPECT_EQ(s->GetAnimation(), track.get());
    EXPECT_TRUE(s->IsLooping());
    EXPECT_FALSE(s->HasEnded());
    EXPECT_EQ(s->GetTime(), 0.0f);
    EXPECT_EQ(s->GetRotation()[3], 1.0f);
    s->SetEnabled(false);
    s->SetEnded(true);
    s->SetPlayValue(0.7f);
    EXPECT_EQ(s->GetTime(), 0.7f);
    EXPECT_FALSE(s->IsLooping());
    s->Restart();
    EXPECT_TRUE(s->IsLooping());
    EXPECT_FALSE(s->HasEnded());
    EXPECT_EQ(s->GetPlayValue(), 0.0f);
}

TEST_F(AnimationStateTest, KeyedSamplingTable) {
    struct Case {
        const char* what;
        std::vector<float> times;
        bool loop;
        float t;
        float wantTime;
        float wantX;
        bool ended;
    };
    const Case cases[] = {
        {"on a key", {0, 0.5f, 1, 1.5f}, true, 0.5f, 0.5f, 1.0f, false},
        {"between keys", {0, 0.5f, 1, 1.5f}, true, 0.75f, 0.75f, 1.5f, false},
        {"at the last key", {0, 0.5f, 1, 1.5f}, true, 1.6f, 1.6f, 3.0f, false},
        {"at the length, looping", {0, 0.5f, 1, 1.5f}, true, 2.0f, 0.0f, 0.0f, false},
        {"at the length, not looping", {0, 0.5f, 1, 1.5f}, false, 2.5f, 2.0f, 3.0f, true},
        {"equal key times take the earlier key",
         {0, 0.5f, 0.5f, 1.5f},
         true,
         0.75f,
         0.75f,
         1.0f,
         false},
        {"NaN time starts the track", {0, 0.5f, 1, 1.5f}, true, std::nanf(""), 0.0f, 0.0f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto track = Keyed(c.times, 2.0f);
        std::unique_ptr<AnimationState> s = track->CreateAnimationState();
        s->SetLoop(c.loop);
        float t = c.t;
        s->Sample(t, nullptr);
        EXPECT_FLOAT_EQ(t, c.wantTime);
        EXPECT_FLOAT_EQ(s->GetTime(), c.wantTime);
        EXPECT_NEAR(s->GetPosition()[0], c.wantX, 1e-5f);
        EXPECT_NEAR(s->GetRotation()[2], std::sin(0.1f * c.wantX), 1e-5f);
        EXPECT_EQ(s->HasEnded(), c.ended);
    }
}

TEST_F(AnimationStateTest, AnEndedKeyedStateStaysPutAndAZeroLengthKeepsTimeZero) {
    auto track = Keyed({0, 0.5f, 1, 1.5f}, 2.0f);
    std::unique_ptr<AnimationState> s = track->CreateAnimationState();
    s->SetLoop(false);
    float t = 3.0f;
    s->Sample(t, nullptr);
    t = 0.5f;
    s->Sample(t, nullptr);
    EXPECT_NEAR(s->GetPosition()[0], 3.0f, 1e-5f);
    // No length and no frames: the time stays 0, nothing divides by zero.
    auto empty = std::make_unique<AnimationTrack>(nullptr, "empty", "", 0);
    empty->SetFrameInterval(0.0f);
    std::unique_ptr<AnimationState> e = empty->CreateAnimationState();
    t = 5.0f;
    e->Sample(t, nullptr);
    EXPECT_EQ(t, 0.0f);
    EXPECT_EQ(e->GetPosition()[0], 0.0f);
}

TEST_F(AnimationStateTest, CopyToKeepsTheTargetsAnimationAndPoseMatrixIsTheCallers) {
    auto a = Keyed({0, 0.5f, 1, 1.5f}, 2.0f);
    auto b = Keyed({0, 0.5f, 1, 1.5f}, 2.0f);
    std::unique_ptr<AnimationState> from = a->CreateAnimationState();
    std::unique_ptr<AnimationState> to = b->CreateAnimationState();
    float t = 0.5f;
    from->Sample(t, nullptr);
    from->SetLoop(false);
    from->CopyTo(*to);
    EXPECT_EQ(to->GetAnimation(), b.get());
    EXPECT_EQ(to->GetTime(), 0.5f);
    EXPECT_FALSE(to->IsLooping());
    EXPECT_EQ(to->GetPosition()[0], 1.0f);
    float m1[16], m2[16];
    from->GetPoseMatrix(m1);
    to->SetPlayValue(0.0f);
    to->SetLoop(true);
    t = 1.0f;
    to->Sample(t, nullptr);
    to->GetPoseMatrix(m2);
    EXPECT_FLOAT_EQ(m1[3], 1.0f);
    EXPECT_FLOAT_EQ(m2[3], 2.0f);
}

TEST_F(AnimationStateTest, BoneRuleForParentHeadAndTrackFlags) {
    Zel::Bone parent, child, head;
    child.SetParent(&parent, 0);
    head.SetParent(&parent, 0);
    head.SetFlags(Zel::Bone::kHeadFlag);
    const float local[3] = {7, 8, 9};
    std::copy(local, local + 3, child.GetLocalPosition());
    std::copy(local, local + 3, head.GetLocalPosition());
    child.GetLocalRotation()[0] = 1.0f;
    child.GetLocalRotation()[3] = 0.0f;
    struct Case {
        const char* what;
        const Zel::Bone* bone;
        std::uint32_t flags;
        float wantX;
        float wantRotationW;
    };
    const Case cases[] = {
        {"root bone keeps the sample", &parent, 0, 1.0f, std::cos(0.1f)},
        {"child takes its local position", &child, 0, 7.0f, std::cos(0.1f)},
        {"head-flagged keeps the sample", &head, 0, 1.0f, std::cos(0.1f)},
        {"keep-position flag keeps the sample", &child, AnimationTrack::kKeepsPosition, 1.0f,
         std::cos(0.1f)},
        {"constant track takes the local rotation", &child, AnimationTrack::kConstant, 7.0f, 0.0f},
        {"constant track keeping its rotation", &child,
         AnimationTrack::kConstant | AnimationTrack::kKeepsRotation, 7.0f, 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto track = Keyed({0, 0.5f, 1, 1.5f}, 2.0f);
        track->SetFlags(c.flags);
        std::unique_ptr<AnimationState> s = track->CreateAnimationState();
        if (c.flags & AnimationTrack::kConstant)
            s->GetPosition()[0] = 1.0f;
        float t = 0.5f;
        s->Sample(t, c.bone);
        EXPECT_FLOAT_EQ(s->GetPosition()[0], c.wantX);
        EXPECT_NEAR(s->GetRotation()[3], c.wantRotationW, 1e-5f);
    }
}

}  // namespace
