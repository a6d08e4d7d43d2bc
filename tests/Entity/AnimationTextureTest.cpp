// Animated textures of both kinds as the texture manager makes them: their kind and class, frames
// held by reference and given back with the texture, and the manager deleting them before the
// frames they hold, whatever the order they were made in.
#include <string>
#include <vector>

#include "Entity/AnimationBlendTexture.h"
#include "Entity/AnimationTexture.h"
#include "tests/Entity/TextureFixture.h"

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
