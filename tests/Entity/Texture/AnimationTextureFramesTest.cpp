// What the device asks of an animated texture reaches the frames it shows: a lost device and the
// reset after it are passed on to the frames in the default pool.
#include <string>

#include "Entity/Texture/AnimationBlendTexture.h"
#include "Entity/Texture/AnimationTexture.h"
#include "tests/Entity/Texture/TextureFixture.h"

namespace {

using Zel::AnimationFramesTexture;
using Zel::TextureBase;

using AnimatedTextureFrames = ZelTest::TextureTest;

TEST_F(AnimatedTextureFrames, DeviceLossAndResetReachTheDefaultPoolFrames) {
    for (int kind : {TextureBase::KIND_ANIMATED, TextureBase::KIND_ANIMATED_BLEND}) {
        SCOPED_TRACE(kind);
        TextureBase* lost = Textures()->CreateTexture(Zel::MP_DEFAULT, TextureBase::KIND_2D);
        TextureBase* kept = Textures()->CreateTexture(Zel::MP_MANAGED, TextureBase::KIND_2D);
        auto* animated =
            dynamic_cast<AnimationFramesTexture*>(Textures()->CreateTexture(Zel::MP_DEFAULT, kind));
        ASSERT_TRUE(lost && kept && animated);
        if (auto* flip = dynamic_cast<Zel::AnimationTexture*>(animated)) {
            flip->AddFrame(lost);
            flip->AddFrame(kept);
        } else {
            auto* blend = dynamic_cast<Zel::AnimationBlendTexture*>(animated);
            blend->AddFrame(lost, 1.0f);
            blend->AddFrame(kept, 1.0f);
        }

        for (const bool reset : {false, true}) {
            SCOPED_TRACE(reset ? "reset" : "lost");
            lost->SetRefillFlag(0);
            kept->SetRefillFlag(0);
            if (reset)
                animated->OnDeviceReset();
            else
                animated->OnDeviceLost();
            EXPECT_EQ(lost->GetRefillFlag(), 1u);
            EXPECT_EQ(kept->GetRefillFlag(), 0u) << "a managed frame survives a reset by itself";
            EXPECT_EQ(animated->GetRefillFlag(), 1u);
        }
    }
}

}  // namespace
