// A scene fixture with a render system drawing on the software device: the effect compiler and
// the constant filler bound, the built-in materials made, shader model 2 reported. Wraps any
// scene fixture, so picking and drawing fixtures share one set-up.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>

#include "Core/DeviceCaps.h"
#include "Core/EnginePaths.h"
#include "Entity/Material/LegacyShaderCompiler.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/ZelShaderConstFiller.h"
#include "Entity/Texture/TextureManager.h"
#include "Entity/Scene/Light.h"
#include "Render/ClearRecord.h"
#include "Render/RenderSystem.h"
#include "tests/Entity/Scene/SceneFixture.h"

namespace ZelTest {

template <class SceneFixture>
class RenderSceneOf : public SceneFixture {
protected:
    void SetUp() override {
        SceneFixture::SetUp();
        std::filesystem::create_directories(this->dir_.Path() / "Data/Effects/Legacy5");
        Zel::SetEngineEffectRoot("../Data/Effects/Legacy5/");
        system_.SetShaderCompiler(&compiler_);
        system_.SetShaderConstFiller(&filler_);
        system_.SetRenderDevice(&this->Device());
        this->Scene().SetRenderSystem(&system_);
        if (texturesOnDevice_)  // the built-in materials' default texture is then made on it
            this->G()->GetTextureManager()->SetDevice(this->Device().GetD3DDevice(),
                                                      &this->Device());
        this->G()->GetMaterialManager()->CreateBuiltinMaterials();
        this->G()->GetDeviceCaps()->featureFlags |= Zel::DEVICE_VS_2_0 | Zel::DEVICE_PS_2_0;
    }
    void TearDown() override {
        if (system_.IsInScene())
            system_.EndScene();
        this->Scene().CleanPushedObjsAndSubModels();
        this->Scene().ClearTransparentPipeline();
        this->Scene().SetRenderSystem(nullptr);
        system_.SetRenderDevice(nullptr);
        SceneFixture::TearDown();
    }

    // The view of an eye looking at target becomes the scene's current one (near plane 0.5).
    void SetLookAtView(const float* eye, const float* target, const float* up, float fovDegrees,
                       float farPlane) {
        float view[16], projection[16], viewProjection[16];
        system_.MakeLookAtMatrix(eye, target, up, view);
        system_.MakePerspectiveMatrix(fovDegrees, float(this->kWidth) / float(this->kHeight), 0.5f,
                                      farPlane, projection);
        this->Scene().SetViewMatrix(view);
        this->Scene().SetProjectionMatrix(projection);
        std::copy_n(this->Scene().GetViewProjectionMatrix(), 16, viewProjection);
        this->Scene().SetCurrentView(view, viewProjection, eye);
    }

    // A point light of range 50 at `at`, lighting every render group.
    Zel::Light& MakePointLight(const float* at, const float* ambient, const float* colour) {
        Zel::Light* light = this->Scene().CreateLight(1);
        EXPECT_NE(light, nullptr);
        light->SetPosition(at);
        light->SetRange(50.0f);
        light->SetColours(ambient, colour, colour);
        light->UpdatePlacement();
        this->Scene().SetRenderGroupFlags(4);
        return *light;
    }

    // One frame of the plain pipe, then the light's pipe, over the models; presented.
    void DrawPlainAndLitPipes(const float* background, std::initializer_list<Zel::Entity*> models,
                              Zel::Light* light) {
        system_.Clear(Zel::CLEAR_COLOUR | Zel::CLEAR_DEPTH, background, 1.0f, 0);
        system_.BeginScene();
        for (std::int32_t mode : {0, 2}) {
            this->Scene().PushNewPipe(mode, 0, mode == 2 ? light : nullptr);
            for (Zel::Entity* model : models) this->Scene().PushRenderable(model);
            this->Scene().ProcessCurrentPipe();
            this->Scene().RenderPushedPipes();
            this->Scene().RenderTransparentPipeline();
            this->Scene().ClearTransparentPipeline();
            this->Scene().CleanPushedObjsAndSubModels();
        }
        system_.EndScene();
        ASSERT_EQ(D3D_OK,
                  this->Device().GetD3DDevice()->Present(nullptr, nullptr, nullptr, nullptr));
    }

    bool texturesOnDevice_ = false;  // set before SetUp to give the texture manager the device
    Zel::LegacyShaderCompiler compiler_;
    Zel::ZelShaderConstFiller filler_;
    Zel::RenderSystem system_{nullptr};
};

using RenderSceneTest = RenderSceneOf<SceneTest>;

}  // namespace ZelTest
