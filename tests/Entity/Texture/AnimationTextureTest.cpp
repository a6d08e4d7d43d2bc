// Animated textures of both kinds as the texture manager makes them: their kind and class, frames
// held by reference and given back with the texture, the manager deleting them before the frames
// they hold, whatever the order they were made in, and the frame they show as scene time passes.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "Entity/Texture/AnimationBlendTexture.h"
#include "Entity/Texture/AnimationTexture.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Scene/SceneManager.h"
#include "tests/Entity/Texture/TextureFixture.h"

namespace {

using Zel::AnimationBlendTexture;
using Zel::AnimationTexture;
using Zel::TextureBase;

using AnimatedTexture = ZelTest::TextureTest;

TEST_F(AnimatedTexture, TheManagerMakesKindsFiveAndSixAsAnimatedTextures) {
    struct Case {
        int kind;
        bool blend;
    };
    for (const Case c :
         {Case{TextureBase::KIND_ANIMATED, false}, Case{TextureBase::KIND_ANIMATED_BLEND, true}}) {
        TextureBase* texture = Textures()->CreateTexture(Zel::MP_MANAGED, c.kind);
        ASSERT_NE(texture, nullptr) << c.kind;
        EXPECT_EQ(texture->GetType(), c.kind);
        EXPECT_EQ(texture->GetRefCount(), 1);  // the manager's
        EXPECT_TRUE(Textures()->Contains(texture));
        EXPECT_EQ(dynamic_cast<AnimationTexture*>(texture) != nullptr, !c.blend);
        EXPECT_EQ(dynamic_cast<AnimationBlendTexture*>(texture) != nullptr, c.blend);
        EXPECT_EQ(texture->GetDeviceTexture(), nullptr);
        EXPECT_EQ(texture->GetSizeInBytes(), 0u);
    }
}

TEST_F(AnimatedTexture, FramesAreHeldUntilTheTextureGoes) {
    TextureBase* a = Textures()->CreateTexture(Zel::MP_MANAGED, TextureBase::KIND_2D);
    TextureBase* b = Textures()->CreateTexture(Zel::MP_MANAGED, TextureBase::KIND_2D);
    auto* flip = static_cast<AnimationTexture*>(
        Textures()->CreateTexture(Zel::MP_MANAGED, TextureBase::KIND_ANIMATED));
    auto* blend = static_cast<AnimationBlendTexture*>(
        Textures()->CreateTexture(Zel::MP_MANAGED, TextureBase::KIND_ANIMATED_BLEND));
    ASSERT_TRUE(a && b && flip && blend);

    EXPECT_FLOAT_EQ(flip->GetFrameTime(), 1.0f);
    flip->SetFrameTime(0.25f);
    EXPECT_FLOAT_EQ(flip->GetFrameTime(), 0.25f);
    flip->AddFrame(a);
    flip->AddFrame(b);
    flip->AddFrame(a);
    flip->AddFrame(nullptr);
    blend->AddFrame(b, 0.5f);
    blend->AddFrame(nullptr, 1.0f);
    ASSERT_EQ(flip->GetFrameCount(), 3u);
    EXPECT_EQ(flip->GetFrame(0), a);
    EXPECT_EQ(flip->GetFrame(1), b);
    EXPECT_EQ(flip->GetFrame(3), nullptr);
    ASSERT_EQ(blend->GetFrameCount(), 1u);
    EXPECT_EQ(blend->GetFrame(0), b);
    EXPECT_FLOAT_EQ(blend->GetFrameDuration(0), 0.5f);
    EXPECT_EQ(blend->GetFrame(1), nullptr);
    EXPECT_FLOAT_EQ(blend->GetFrameDuration(1), 0.0f);
    EXPECT_EQ(a->GetRefCount(), 3);
    EXPECT_EQ(b->GetRefCount(), 3);

    // A purge takes the animated textures; their frames, then held by the manager alone, go
    // with the next one.
    Textures()->PurgeUnused();
    EXPECT_FALSE(Textures()->Contains(flip));
    EXPECT_FALSE(Textures()->Contains(blend));
    EXPECT_EQ(a->GetRefCount(), 1);
    EXPECT_EQ(b->GetRefCount(), 1);
}

class AnimatedTextureTime : public AnimatedTexture {
protected:
    void SetUp() override {
        AnimatedTexture::SetUp();
        for (int i = 0; i < 3; ++i) {
            frames_[i] = Textures()->CreateTexture(Zel::MP_MANAGED, TextureBase::KIND_2D);
            ASSERT_NE(frames_[i], nullptr);
            ASSERT_TRUE(frames_[i]->Create(4, 4, 1, 2, Zel::PF_A8R8G8B8, 1, false));
        }
    }
    void At(float seconds) {
        Zel::Globals::GetSingleton()->GetSceneManager()->SetTimeValue(seconds);
    }
    // The index of the frame, -1 for null, -2 for a texture that is no frame.
    int FrameOf(const TextureBase* texture) const {
        if (!texture)
            return -1;
        for (int i = 0; i < 3; ++i)
            if (frames_[i] == texture)
                return i;
        return -2;
    }

    TextureBase* frames_[3] = {};
};

TEST_F(AnimatedTextureTime, FramesCycleOneStepPerUpdateOnceTheirTimeHasPassed) {
    constexpr float kNever = std::numeric_limits<float>::infinity();  // a frequency of 0
    const struct {
        float frameTime;
        std::vector<float> times;
        std::vector<int> shown;
    } cases[] = {
        // The first update only selects frame 0; the clock starts at 0, so the next one switches.
        // Exactly the frame time does not switch, and a long pause moves on by one frame.
        {0.5f, {10, 10, 10.5f, 10.6f, 100, 100.5f}, {0, 1, 1, 2, 0, 0}},
        // Frame time 0 (no frequency), below 0 or NaN: no animation.
        {0.0f, {1, 2, 2, 3, 4}, {0, 0, 0, 0, 0}},
        {-0.5f, {1, 2, 3}, {0, 0, 0}},
        {std::numeric_limits<float>::quiet_NaN(), {1, 2, 3}, {0, 0, 0}},
        {kNever, {1, 5, 1000}, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        auto* flip = static_cast<AnimationTexture*>(
            Textures()->CreateTexture(Zel::MP_MANAGED, TextureBase::KIND_ANIMATED));
        ASSERT_NE(flip, nullptr);
        flip->SetFrameTime(c.frameTime);
        for (TextureBase* frame : frames_) flip->AddFrame(frame);
        for (std::size_t i = 0; i < c.times.size(); ++i) {
            At(c.times[i]);
            flip->Update();
            ASSERT_EQ(FrameOf(flip->GetCurrentTexture()), c.shown[i])
                << "frame time " << c.frameTime << " at " << c.times[i];
            // Bound, it is the frame it shows.
            EXPECT_EQ(flip->GetD3DBaseTexture(), flip->GetCurrentTexture()->GetD3DBaseTexture());
            EXPECT_EQ(flip->GetDeviceTexture(), flip->GetCurrentTexture()->GetDeviceTexture());
        }
    }
}

TEST_F(AnimatedTextureTime, WithoutFramesNothingIsShownAndOneFrameShowsForEver) {
    auto* flip = static_cast<AnimationTexture*>(
        Textures()->CreateTexture(Zel::MP_MANAGED, TextureBase::KIND_ANIMATED));
    auto* blend = static_cast<AnimationBlendTexture*>(
        Textures()->CreateTexture(Zel::MP_MANAGED, TextureBase::KIND_ANIMATED_BLEND));
    ASSERT_TRUE(flip && blend);
    flip->Update();
    blend->Update();
    EXPECT_EQ(flip->GetCurrentTexture(), nullptr);
    EXPECT_EQ(flip->GetD3DBaseTexture(), nullptr);
    EXPECT_EQ(blend->GetCurrentTexture(), nullptr);
    EXPECT_EQ(blend->GetNextTexture(), nullptr);
    EXPECT_EQ(blend->GetDeviceTexture(), nullptr);

    flip->SetFrameTime(0.1f);
    flip->AddFrame(frames_[1]);
    blend->AddFrame(frames_[2], 0.1f);
    for (const float t : {0.0f, 3.0f, 7.5f}) {
        At(t);
        flip->Update();
        blend->Update();
        EXPECT_EQ(flip->GetCurrentTexture(), frames_[1]) << t;
        EXPECT_EQ(blend->GetCurrentTexture(), frames_[2]) << t;
        EXPECT_EQ(blend->GetNextTexture(), frames_[2]) << t;
        EXPECT_EQ(blend->GetBlendFactor(), 1.0f) << t;
        EXPECT_NE(blend->GetD3DBaseTexture(), nullptr);
        EXPECT_EQ(blend->GetD3DBaseTexture(), frames_[2]->GetD3DBaseTexture());
    }
}

TEST_F(AnimatedTextureTime, BlendFramesRunTheirFactorFromZeroToOneAndWrap) {
    auto* blend = static_cast<AnimationBlendTexture*>(
        Textures()->CreateTexture(Zel::MP_MANAGED, TextureBase::KIND_ANIMATED_BLEND));
    ASSERT_NE(blend, nullptr);
    blend->AddFrame(frames_[0], 1.0f);
    blend->AddFrame(frames_[1], 0.5f);
    blend->AddFrame(frames_[2], 0.0f);
    const struct {
        float time;
        int current, next;
        float factor;
    } steps[] = {
        {0.25f, 0, 1, 0.25f},
        {1.0f, 0, 1, 1.0f},  // exactly the duration: no switch yet
        {1.25f, 1, 2, 0.0f},
        {1.5f, 1, 2, 0.5f},
        // A frame of no duration is over at once (no division by zero) and the next wraps.
        {1.8f, 2, 0, 1.0f},
        {1.8f, 2, 0, 1.0f},
        {1.9f, 0, 1, 0.0f},
        // The scene clock set back: the current frame alone until time catches up.
        {1.0f, 0, 1, 0.0f},
        {2.4f, 0, 1, 0.5f},
    };
    for (const auto& s : steps) {
        At(s.time);
        blend->Update();
        EXPECT_EQ(FrameOf(blend->GetCurrentTexture()), s.current) << s.time;
        EXPECT_EQ(FrameOf(blend->GetNextTexture()), s.next) << s.time;
        EXPECT_FLOAT_EQ(blend->GetBlendFactor(), s.factor) << s.time;
        EXPECT_FALSE(std::isnan(blend->GetBlendFactor()));
    }
}

std::vector<std::string>* g_removed = nullptr;

void HearRemoved(const char* name, DWORD /*thread*/) {
    g_removed->push_back(name);
}

TEST_F(AnimatedTexture, ShutdownDeletesAnimatedTexturesBeforeFramesMadeEarlier) {
    std::vector<std::string> removed;
    g_removed = &removed;
    // The frames come first in the manager's list, so a plain walk would free them while the
    // animated textures still hold them.
    TextureBase* frame = Textures()->CreateTexture(Zel::MP_MANAGED, TextureBase::KIND_2D);
    auto* flip = static_cast<AnimationTexture*>(
        Textures()->CreateTexture(Zel::MP_MANAGED, TextureBase::KIND_ANIMATED));
    auto* blend = static_cast<AnimationBlendTexture*>(
        Textures()->CreateTexture(Zel::MP_MANAGED, TextureBase::KIND_ANIMATED_BLEND));
    ASSERT_TRUE(frame && flip && blend);
    frame->SetName("frame");
    flip->SetName("flip");
    blend->SetName("blend");
    flip->AddFrame(frame);
    blend->AddFrame(frame, 1.0f);
    Textures()->AddListener(2, &HearRemoved);

    Zel::Globals::DeleteSingleton();
    EXPECT_EQ(removed, (std::vector<std::string>{"flip", "blend", "frame"}));
    g_removed = nullptr;
}

}  // namespace
