// The frame effects as a host reaches them, in whole frames of the render window that
// CreateRenderWindow makes: the blur, motion-blur and distortion rows of the root interface, the
// colour-stylised renderer (and its plain fallback without its materials) and the debug drawing of
// a posed skeleton.
// Regenerate with ZEL_UPDATE_GOLDEN=1 ctest --test-dir build/dev -L pipeline, then look at
// tests/golden/host_*.png before committing them.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "Core/DeviceCaps.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Geometry/AnimationTrack.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/Light.h"
#include "Entity/Texture/RenderTarget.h"
#include "Entity/Texture/TextureManager.h"
#include "Interface/ILight.h"
#include "Interface/IModel.h"
#include "Interface/ISkeleton.h"
#include "Interface/IAuxRender.h"
#include "Interface/IBone.h"
#include "Interface/IProxyFactory.h"
#include "Interface/ISkeletonModel.h"
#include "Interface/ZelEngine.h"
#include "Render/ColorStylizedRenderer.h"
#include "Render/RenderCore/RCInterfaceImpl.h"
#include "Render/RenderDevice.h"
#include "modelgen/Recipes.h"
#include "support/GoldenImage.h"
#include "tests/Render/RenderCore/HostWindowFixture.h"

namespace ZelTest {
namespace {

constexpr int kTolerance = 3;
constexpr const char* kCube = "../resources/models/lit_cube.dm3";
constexpr float kSky[4] = {0.2f, 0.3f, 0.45f, 1.0f};

// A host frame with a cube lit by a directional light, the camera in front of it and above.
class HostFrameTest : public OpenWindowTest {
protected:
    HostFrameTest() {
        cube_ = Render()->CreateModel(kCube, 0);
        EXPECT_NE(cube_, nullptr);
        sun_ = Render()->CreateLight(0);
        EXPECT_NE(sun_, nullptr);
        if (sun_) {
            const float from[3] = {-2.0f, 3.0f, 2.0f}, warm[4] = {0.9f, 0.8f, 0.6f, 1.0f},
                        ambient[4] = {0.3f, 0.3f, 0.35f, 1.0f};
            sun_->SetPosition(from);
            sun_->SetDiffuse(warm);
            sun_->SetAmbient(ambient);
        }
        const float eye[3] = {2.0f, 2.2f, 3.2f}, target[3] = {0.0f, 0.0f, 0.0f},
                    up[3] = {0.0f, 1.0f, 0.0f};
        Render()->LookAt(eye, target, up);
        Render()->SetCameraFov(60.0f, 64.0f / 48.0f, 0.1f, 100.0f);
        Render()->UpdateCameras();
        Render()->SetClearColor(kSky);
    }
    ~HostFrameTest() override {
        for (ZelI::IObject* object :
             {static_cast<ZelI::IObject*>(cube_), static_cast<ZelI::IObject*>(sun_)})
            if (object)
                object->Release();
    }

    // The cube through a plain pipe, lit by the sun.
    void DrawCube() {
        Render()->PushNewPipe(0, reinterpret_cast<std::intptr_t>(sun_), 0, 0, 0);
        Render()->PushToPipe(cube_);
        Render()->ProcessCurrentPipe();
        Render()->RenderPushedPipes();
        Render()->CleanPushedObjsAndSubModels();
        Render()->RenderTransparentPipeline();
        Render()->ClearTransparentPipeline();
    }
    std::vector<DWORD> Pixels() { return Window()->Frame(); }

    ZelI::IModel* cube_ = nullptr;
    ZelI::ILight* sun_ = nullptr;
};

// ---- Blur, motion blur and distortion through the root interface's rows

TEST_F(HostFrameTest, BlurRowSoftensTheFrame) {
    Render()->FrameBegin();
    Render()->Clear();
    DrawCube();
    // Kernel 13 x 13, the pass count in the third word.
    Render()->Blur(3, 0, 4);
    Render()->FrameEnd();
    Render()->SwapBuffer();
    ExpectGoldenFrame(*Window(), "host_blur", kTolerance);
}

TEST_F(HostFrameTest, BlurRowSoftensWhatAHostTargetHolds) {
    // Drawn into a target of the window's size, the same frame blurs to the same image: the blur
    // takes what the target holds, not the back buffer the frame never drew into.
    int width = 64, height = 48;
    ZelI::IRenderTarget* target = Render()->CreateClientRenderTarget(&width, &height, 0, 0);
    ASSERT_NE(target, nullptr);
    Render()->FrameBegin();
    target->BeginRendering(0);
    Render()->Clear();
    DrawCube();
    Render()->Blur(3, 0, 4);
    target->EndRendering();
    Render()->FrameEnd();
    const std::string path = (dir_.Path() / "blurred_target.png").string();
    EXPECT_TRUE(target->SaveToFile(path.c_str()));
    target->Release();
    ExpectGoldenPng(path, "host_blur", kTolerance);
}

TEST_F(HostFrameTest, MotionBlurRowsLeaveATrailOfThePreviousFrame) {
    // Frame 1 with the cube on the left, frame 2 with it on the right over frame 1 at half
    // opacity.
    const float places[2][3] = {{-1.2f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}};
    for (int frame = 0; frame < 2; ++frame) {
        cube_->SetPosition(places[frame]);
        Render()->FrameBegin();
        if (frame > 0)
            Render()->RenderMotionBlur(0.5f);
        Render()->Clear();
        Render()->BeginMotionBlur(0);
        DrawCube();
        Render()->EndMotionBlur();
        Render()->FrameEnd();
        Render()->SwapBuffer();
    }
    ExpectGoldenFrame(*Window(), "host_motion_blur", kTolerance);
}

TEST_F(HostFrameTest, DistortionRowRipplesTheFrame) {
    // The window draws into its post-process targets once the device renders to A8R8G8B8.
    ASSERT_TRUE(System()->GetRenderDevice()->EnableA8R8G8B8Target());
    G()->GetDeviceCaps()->featureFlags |= Zel::DEVICE_PS_2_0;
    ClearedFrame(kSky[0], kSky[1], kSky[2]);
    ASSERT_TRUE(Render()->IsDistortionAvailable());
    Render()->FrameBegin();
    Render()->Clear();
    DrawCube();
    // 2.5 s into the ripple, strength 0.03 as the float's bits.
    Render()->ApplyDistortion(2500, std::intptr_t(std::bit_cast<std::uint32_t>(0.03f)));
    Render()->FrameEnd();
    Render()->SwapBuffer();
    ExpectGoldenFrame(*Window(), "host_distortion", kTolerance);
}

// ---- The colour-stylised renderer

TEST(ColorStylizedRendererTest, FactorAndTuneAreClampedAndTheDefaultsAreSet) {
    Zel::ColorStylizedRenderer renderer;
    const auto& stylise = renderer.GetStyliseParameters().GetFloats();
    EXPECT_EQ(stylise.at("g_ColorStylizedFactor"), 1.0f);
    EXPECT_EQ(stylise.at("g_fTransparencyTune"), 1.0f);
    const auto& modulate = renderer.GetSilhouetteParameters().GetVectors().at("g_ColorModulate");
    EXPECT_EQ(modulate.count, 4u);
    EXPECT_EQ(std::vector<float>(modulate.values, modulate.values + 4),
              (std::vector<float>{0.5f, 0.3f, 0.15f, 1.0f}));
    struct Case {
        float given, stored;
    };
    for (const Case& c : {Case{2.5f, 1.0f}, Case{-1.0f, 0.0f}, Case{0.25f, 0.25f}}) {
        renderer.SetColorStylizedFactor(c.given);
        renderer.SetTransparencyTune(c.given);
        EXPECT_EQ(stylise.at("g_ColorStylizedFactor"), c.stored) << c.given;
        EXPECT_EQ(stylise.at("g_fTransparencyTune"), c.stored) << c.given;
    }
    // Without Begin, End does nothing; nothing was initialised, so the path is the plain one.
    renderer.End();
    EXPECT_FALSE(renderer.IsBegun());
    EXPECT_FALSE(renderer.IsEnabled());
}

class ColorStylizedHostTest : public HostFrameTest {
protected:
    Zel::ColorStylizedRenderer& Stylized() { return System()->GetColorStylizedRenderer(); }
};

TEST_F(ColorStylizedHostTest, TheWindowMakesTargetsOfTheViewportAndAPrivateLight) {
    Zel::ColorStylizedRenderer& stylized = Stylized();
    ASSERT_TRUE(stylized.IsEnabled());
    for (auto index :
         {Zel::ColorStylizedRenderer::kTargetA, Zel::ColorStylizedRenderer::kTargetB,
          Zel::ColorStylizedRenderer::kTargetC, Zel::ColorStylizedRenderer::kTargetD}) {
        ASSERT_NE(stylized.GetTarget(index), nullptr) << index;
        EXPECT_EQ(stylized.GetTarget(index)->GetWidth(), 64);
        EXPECT_EQ(stylized.GetTarget(index)->GetHeight(), 48);
    }
    for (const Zel::ShaderParamTable* table :
         {&stylized.GetFilterParameters(), &stylized.GetSilhouetteParameters(),
          &stylized.GetStyliseParameters()}) {
        const auto& texel = table->GetVectors().at("g_texelSize");
        EXPECT_EQ(texel.count, 2u);
        EXPECT_FLOAT_EQ(texel.values[0], 1.0f / 64.0f);
        EXPECT_FLOAT_EQ(texel.values[1], 1.0f / 48.0f);
    }
    // The private light lights the widened pass only: the scene's lights do not list it.
    ASSERT_NE(stylized.GetPrivateLight(), nullptr);
    EXPECT_EQ(G()->GetSceneManager()->GetLightCount(), 1u);  // the sun alone
    EXPECT_EQ(stylized.GetPrivateLight()->GetDiffuse()[0], 1.0f);

    // A device loss lets the targets go; the reset makes them again.
    System()->OnLostDevice();
    EXPECT_EQ(stylized.GetTarget(Zel::ColorStylizedRenderer::kTargetA), nullptr);
    System()->OnResetDevice();
    EXPECT_NE(stylized.GetTarget(Zel::ColorStylizedRenderer::kTargetA), nullptr);
    // The settings row lets them go too; the next Begin makes them again.
    Render()->ResetMotionBlur();
    EXPECT_EQ(stylized.GetTarget(Zel::ColorStylizedRenderer::kTargetD), nullptr);
    stylized.Begin(sun_);
    stylized.End();
    EXPECT_NE(stylized.GetTarget(Zel::ColorStylizedRenderer::kTargetD), nullptr);
}

TEST_F(ColorStylizedHostTest, TheCubeIsDrawnStylisedWithASilhouette) {
    Zel::ColorStylizedRenderer& stylized = Stylized();
    ASSERT_TRUE(stylized.IsEnabled());
    // A teal style texture, half of which replaces the cube's own colours.
    Zel::SharedPtr<Zel::RenderTarget> style(G()->GetTextureManager()->CreateRenderTarget(false));
    ASSERT_TRUE(style && style->Create(4, 4, 1, 2, Zel::PF_A8R8G8B8, 0, false));
    style->ClearColour(0.1f, 0.8f, 0.7f, 1.0f);
    ZelI::ColorStylizedRenderer& host = stylized;
    host.SetStyleTexture(style->GetInterface());
    host.SetColorStylizedFactor(0.5f);
    host.SetColorModulate(1.0f, 0.9f, 0.2f, 1.0f);

    Render()->FrameBegin();
    Render()->Clear();
    host.Begin(sun_);
    host.Begin(sun_);  // a second Begin changes nothing
    host.AddModel(cube_);
    host.AddModel(nullptr);
    EXPECT_EQ(stylized.GetModelCount(), 1u);
    host.End();
    EXPECT_EQ(stylized.GetModelCount(), 0u);
    Render()->FrameEnd();
    Render()->SwapBuffer();
    ExpectGoldenFrame(*Window(), "host_color_stylized", kTolerance);
    host.SetStyleTexture(nullptr);
    style.Reset();
}

// Without one of its materials the renderer stays disabled, gives back the materials it found,
// and the bracket draws the cube exactly as a plain pipe does.
class ColorStylizedFallbackTest : public RenderWindowTest {
protected:
    ColorStylizedFallbackTest() {
        std::filesystem::remove("../Data/Materials/RenderSilhouette.xml");
        ZelI::RenderWindowParams params;
        params.width = 64;
        params.height = 48;
        EXPECT_EQ(Render()->CreateRenderWindow(&params), 100);
        G()->GetSceneManager()->SetDeviceWait([](std::uint32_t) {});
    }
};

TEST_F(ColorStylizedFallbackTest, WithoutItsMaterialsTheRendererIsDisabled) {
    Zel::ColorStylizedRenderer& stylized =
        G()->GetSceneManager()->GetRenderSystem()->GetColorStylizedRenderer();
    EXPECT_FALSE(stylized.IsEnabled());
    for (auto index : {Zel::ColorStylizedRenderer::kFilter, Zel::ColorStylizedRenderer::kSilhouette,
                       Zel::ColorStylizedRenderer::kStylise, Zel::ColorStylizedRenderer::kCombine})
        EXPECT_EQ(stylized.GetMaterial(index), nullptr) << index;
    EXPECT_EQ(stylized.GetTarget(Zel::ColorStylizedRenderer::kTargetA), nullptr);
    EXPECT_EQ(stylized.GetPrivateLight(), nullptr);
}

TEST_F(HostFrameTest, ADisabledRendererDrawsTheBracketThroughAPlainPipe) {
    Render()->FrameBegin();
    Render()->Clear();
    DrawCube();
    Render()->FrameEnd();
    Render()->SwapBuffer();
    const std::vector<DWORD> plain = Pixels();

    // Never initialised: the plain path.
    Zel::ColorStylizedRenderer fallback;
    ZelI::ColorStylizedRenderer& host = fallback;
    Render()->FrameBegin();
    Render()->Clear();
    host.Begin(sun_);
    host.AddModel(cube_);
    EXPECT_EQ(fallback.GetModelCount(), 0u);  // pushed at once
    host.End();
    Render()->FrameEnd();
    Render()->SwapBuffer();
    EXPECT_EQ(Pixels(), plain);
}

// ---- Debug drawing of a skeleton

struct FactoryDeleter {
    void operator()(ZelI::IProxyFactory* factory) const { delete factory; }
};

// The skinned model's three bones half a second into its walk, seen from in front: each bone's
// axis cross and a yellow link from the root to each of its two children.
TEST_F(HostFrameTest, APosedSkeletonIsDrawnBoneByBone) {
    std::vector<ZelModelGen::RecipeFile> files;
    std::string error;
    ASSERT_TRUE(ZelModelGen::SaveRecipe("skinned", "../resources/models", {}, files, error))
        << error;
    // The render interface makes no skinned models: the scene does, as the character classes
    // do.
    Zel::GlobalConfigManager& config = *G()->GetConfigManager();
    config.SetValue(Zel::SkeletonModel::kUpdateActionsSwitch, 1);
    config.SetValue(Zel::AnimationTrack::kUpdateTrackAnimationsSwitch, 1);
    const std::string path = "../resources/models/skinned.ch3";
    G()->GetGeometryManager()->SetBasePath("");
    ASSERT_NE(G()->GetGeometryManager()->GetOrLoad(path, path), nullptr);
    Zel::SkeletonModel* skinned = G()->GetSceneManager()->CreateSkeletonModel();
    ASSERT_NE(skinned, nullptr);
    ASSERT_TRUE(skinned->LoadGeometry(path) && skinned->BuildFromGeometry());
    // Half a second into the walk.
    skinned->Update(nullptr, 0.5f, 1);
    auto* model = dynamic_cast<ZelI::ISkeletonModel*>(skinned->GetInterface());
    ASSERT_NE(model, nullptr);
    ZelI::IBone* root = model->GetSkeleton() ? model->GetSkeleton()->GetRootBone() : nullptr;
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->GetChildCount(), 2u);

    const float eye[3] = {0.6f, -1.6f, 1.6f}, target[3] = {0.0f, 0.0f, 1.0f},
                up[3] = {0.0f, 0.0f, 1.0f};
    Render()->LookAt(eye, target, up);
    Render()->UpdateCameras();
    std::unique_ptr<ZelI::IProxyFactory, FactoryDeleter> factory(CreateIProxyFactory());
    ZelI::IAuxRender* aux = factory->GetAuxRender();
    ASSERT_NE(aux, nullptr);
    Render()->FrameBegin();
    Render()->Clear();
    // The pipe places the camera's view for the lines.
    Render()->PushNewPipe(0, 0, 0, 0, 0);
    Render()->CleanPushedObjsAndSubModels();
    aux->DrawSkeleton(model, nullptr);
    aux->DrawSkeleton(nullptr, root);
    aux->DrawSkeleton(model, root);
    // Three axis lines per bone and one link per child.
    EXPECT_EQ(System()->GetAuxRenderer()->GetLineVertexCount(), 2u * (3 * 3 + 2));
    Render()->FrameEnd();
    Render()->SwapBuffer();
    ExpectGoldenFrame(*Window(), "host_skeleton", kTolerance);
    model->Release();
}

}  // namespace
}  // namespace ZelTest
