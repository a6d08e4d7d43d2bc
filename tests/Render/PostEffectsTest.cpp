// The screen blur and the motion blur on the software device, through a render window with its
// own swap chain: the blur's passes, the motion trail's opacity and the composite's alpha
// reference, in whole frames.
// Regenerate with ZEL_UPDATE_GOLDEN=1 ctest --test-dir build/dev -L pipeline, then look at
// tests/golden/post_*.png before committing them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "demo/DemoDataTree.h"
#include "Entity/Scene/SceneManager.h"
#include "Platform/Win32/Win32Window.h"
#include "Render/ClearRecord.h"
#include "Render/d3d9/GraphicsAPIManagerD3D9.h"
#include "Core/DeviceCaps.h"
#include "Entity/Material/MaterialManager.h"
#include "Render/DistortionEffect.h"
#include "Render/PostEffects.h"
#include "Render/RenderSystem.h"
#include "Render/d3d9/RenderWindowD3D9.h"
#include "support/GoldenImage.h"
#include "tests/Render/FrameFixture.h"

namespace {

using Zel::PostEffects;

TEST(PostEffectsTest, MotionAlphaReferenceNeverDividesByZero) {
    struct Case {
        float factor;
        std::uint32_t reference;
    };
    const Case cases[] = {{0.0f, 1},    {0.5f, 2},     {0.75f, 4},  {0.9f, 9},
                          {0.99f, 100}, {0.999f, 255}, {1.0f, 255}, {1.5f, 255}};
    for (const Case& c : cases)
        EXPECT_EQ(PostEffects::MotionAlphaReference(c.factor), c.reference) << c.factor;
}

class PostEffectsFrameTest : public ZelTest::FrameTest {
protected:
    void SetUp() override {
        ZelTest::FrameTest::SetUp();
        ASSERT_TRUE(ZelDemo::CopyEngineData(dir_.Path(), nullptr, true));
        if (postProcessing_) {
            ASSERT_TRUE(Device().EnableA8R8G8B8Target());
        }
        window_rw_ = static_cast<Zel::RenderWindowD3D9*>(
            G()->GetGraphicsAPIManager()->NewRenderWindow(&system_, Zel::MP_DEFAULT, &Device()));
        system_.AddRenderWindow(window_rw_);
        ASSERT_TRUE(window_rw_->CreateSwapChain(&host_, window_, kWidth, kHeight, 1));
        system_.SetActiveRenderWindow(window_rw_);
        system_.SetViewport(0, 0, kWidth, kHeight);
        PostEffects::Instance().Init();
    }
    void TearDown() override {
        PostEffects::Instance().Release();
        if (window_rw_)
            window_rw_->Destroy();
        ZelTest::FrameTest::TearDown();
    }
    void ClearScreen() {
        const float dark[4] = {0.06f, 0.06f, 0.1f, 1.0f};
        system_.Clear(Zel::CLEAR_COLOUR | Zel::CLEAR_DEPTH, dark, 1.0f, 0);
    }
    // A flat quad in clip space.
    void Square(float x, float y, float size, const float* colour) {
        const float rect[4] = {x, y, size, size}, uv[4] = {0, 0, 1, 1};
        system_.DrawQuad(rect, uv, nullptr, colour);
    }
    void Show(const char* name) {
        window_rw_->Present();
        ZelTest::ExpectGoldenFrame(*Win32Window::Find(window_), name, 3);
    }

    Zel::RenderWindowD3D9* window_rw_ = nullptr;
    int host_ = 7;
    bool postProcessing_ = false;  // the window draws into its post-process targets
};

class DistortionTest : public PostEffectsFrameTest {
protected:
    void SetUp() override {
        postProcessing_ = true;
        PostEffectsFrameTest::SetUp();
        G()->GetDeviceCaps()->featureFlags |= Zel::DEVICE_SHADER_MODEL_2;
    }
};

TEST_F(DistortionTest, PhaseWrapsAtThePeriodAndDrivesTheWaves) {
    Zel::DistortionEffect& distortion = Zel::DistortionEffect::Instance();
    ASSERT_TRUE(distortion.IsAvailable());
    ASSERT_NE(distortion.GetMaterial(), nullptr);
    struct Step {
        std::uint32_t ms;
        float phase, u;
    };
    // Period 10 s, u speed 1, v speed 0; a phase of exactly one period is kept, past it wraps.
    for (const Step& s : {Step{12000, 2.0f, 0.2f}, Step{500, 2.5f, 0.25f}, Step{7500, 10.0f, 1.0f},
                          Step{1000, 1.0f, 0.1f}}) {
        system_.BeginScene();
        EXPECT_TRUE(distortion.Apply(s.ms, 0.01f));
        system_.EndScene();
        window_rw_->Present();
        EXPECT_NEAR(distortion.GetPhase(), s.phase, 1e-4f) << s.ms;
        EXPECT_NEAR(distortion.GetUvVelocity()[0], s.u, 1e-5f);
        EXPECT_EQ(distortion.GetUvVelocity()[1], 0.0f);
    }
}

TEST_F(DistortionTest, FrameThroughThePostProcessSwap) {
    ClearScreen();
    system_.BeginScene();
    const float white[4] = {1, 1, 1, 1}, cyan[4] = {0.2f, 0.9f, 1.0f, 1.0f};
    Square(-0.7f, -0.6f, 0.8f, white);
    Square(0.2f, 0.1f, 0.6f, cyan);
    EXPECT_TRUE(Zel::DistortionEffect::Instance().Apply(2500, 0.04f));
    system_.EndScene();
    Show("post_distortion");
}

TEST_F(DistortionTest, ItNeedsVertexAndPixelShaders2) {
    std::uint32_t& flags = G()->GetDeviceCaps()->featureFlags;
    const std::uint32_t saved = flags;
    const std::uint32_t others = saved & ~Zel::DEVICE_SHADER_MODEL_2;
    const struct {
        std::uint32_t shaders;
        bool available;
    } rows[] = {
        {0, false},
        {Zel::DEVICE_VS_2_0, false},
        {Zel::DEVICE_PS_2_0, false},
        {Zel::DEVICE_VS_2_0 | Zel::DEVICE_PS_2_0, true},
    };
    for (const auto& row : rows) {
        flags = others | row.shaders;
        EXPECT_EQ(Zel::DistortionEffect::Instance().IsAvailable(), row.available) << row.shaders;
        system_.BeginScene();
        EXPECT_EQ(Zel::DistortionEffect::Instance().Apply(10, 0.01f), row.available)
            << row.shaders;
        system_.EndScene();
    }
    flags = saved;
}

TEST_F(PostEffectsFrameTest, DistortionNeedsPixelShadersAndTheWindowsPostProcessing) {
    // This window draws straight into its back buffer: nothing to swap.
    G()->GetDeviceCaps()->featureFlags |= Zel::DEVICE_PS_2_0;
    EXPECT_FALSE(Zel::DistortionEffect::Instance().Apply(10, 0.01f));
    G()->GetDeviceCaps()->featureFlags &= ~std::uint32_t(Zel::DEVICE_PS_2_0);
    EXPECT_FALSE(Zel::DistortionEffect::Instance().IsAvailable());
}

TEST_F(PostEffectsFrameTest, EveryKernelAndBothTargetsAreMade) {
    PostEffects& post = PostEffects::Instance();
    for (std::uint32_t k = 0; k < PostEffects::kKernelCount; ++k) {
        EXPECT_NE(post.GetKernelMaterial(k, false), nullptr) << k;
        EXPECT_NE(post.GetKernelMaterial(k, true), nullptr) << k;
    }
    EXPECT_EQ(post.GetKernelMaterial(4, false), nullptr);
    ASSERT_NE(post.GetPostTarget(0), nullptr);
    EXPECT_EQ(post.GetPostTarget(1)->GetWidth(), 256);
    ASSERT_NE(post.GetMotionTarget(1), nullptr);
    EXPECT_EQ(post.GetMotionTarget(1)->GetWidth(), int(post.GetMotionTargetSize()));
}

TEST_F(DistortionTest, TheEffectsMaterialsOutliveADirectSweepOfTheMaterials) {
    PostEffects& post = PostEffects::Instance();
    Zel::DistortionEffect& distortion = Zel::DistortionEffect::Instance();
    ASSERT_NE(post.GetQuadMaterial(), nullptr);
    ASSERT_NE(distortion.GetMaterial(), nullptr);
    std::vector<std::pair<Zel::Material*, std::string>> held = {
        {post.GetQuadMaterial(), post.GetQuadMaterial()->GetName()},
        {distortion.GetMaterial(), distortion.GetMaterial()->GetName()}};
    for (std::uint32_t k = 0; k < PostEffects::kKernelCount; ++k)
        for (bool vertical : {false, true})
            held.emplace_back(post.GetKernelMaterial(k, vertical),
                              post.GetKernelMaterial(k, vertical)->GetName());

    G()->GetMaterialManager()->RemoveAll();
    for (const auto& [material, name] : held) {
        EXPECT_EQ(G()->GetMaterialManager()->FindMaterial(name, false), material) << name;
        EXPECT_EQ(material->GetName(), name);  // AddressSanitizer stops on a deleted one
    }
    // Both still draw with them.
    system_.BeginScene();
    EXPECT_TRUE(distortion.Apply(10, 0.01f));
    system_.EndScene();
    post.Blur(1, 2);
    EXPECT_EQ(post.GetLastBlurPairs(), 1u);
}

TEST_F(PostEffectsFrameTest, BlurRunsHalfThePassesAsPairsAndSoftensTheFrame) {
    PostEffects& post = PostEffects::Instance();
    struct Case {
        std::uint32_t kernel, passes, pairs;
    };
    for (const Case& c : {Case{1, 5, 2}, Case{0, 1, 0}, Case{3, 2, 1}, Case{7, 4, 0}}) {
        post.Blur(c.kernel, c.passes);
        EXPECT_EQ(post.GetLastBlurPairs(), c.pairs) << c.kernel << " " << c.passes;
    }
    ClearScreen();
    system_.BeginScene();
    const float white[4] = {1, 1, 1, 1}, orange[4] = {1.0f, 0.5f, 0.1f, 1.0f};
    Square(-0.6f, -0.5f, 0.5f, white);
    Square(0.1f, 0.0f, 0.6f, orange);
    system_.EndScene();
    post.Blur(3, 8);
    EXPECT_EQ(post.GetLastBlurPairs(), 4u);
    Show("post_blur");
}

TEST_F(PostEffectsFrameTest, MotionBlurLeavesATrailOfThePreviousFrame) {
    PostEffects& post = PostEffects::Instance();
    const float red[4] = {1.0f, 0.2f, 0.2f, 1.0f}, green[4] = {0.2f, 1.0f, 0.3f, 1.0f};
    // Frame 1: a red square on the left, drawn into the motion target and composited.
    ClearScreen();
    post.BeginMotionBlurFrame();
    system_.BeginScene();
    Square(-0.8f, -0.3f, 0.6f, red);
    system_.EndScene();
    post.EndMotionBlurFrame();
    // Frame 2: seeded with frame 1 at half opacity, then a green square on the right.
    post.RenderMotionBlur(0.5f);
    ClearScreen();
    post.BeginMotionBlurFrame();
    system_.BeginScene();
    Square(0.2f, -0.3f, 0.6f, green);
    system_.EndScene();
    post.EndMotionBlurFrame();
    EXPECT_EQ(post.GetCurrentMotionTarget(), post.GetMotionTarget(1));
    Show("post_motion_blur");
}

}  // namespace
