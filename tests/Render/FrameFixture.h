// Whole frames on the software device through the render system: the system draws with the
// fixture's device, compiles effects with the legacy compiler into "../Data/Effects/Legacy5/",
// sets their constants through the engine's filler, is the scene's system, and the built-in
// materials exist. LookAt places the scene's camera.
#pragma once

#include <algorithm>
#include <filesystem>

#include "Core/EnginePaths.h"
#include "Core/Globals.h"
#include "Entity/Material/LegacyShaderCompiler.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/ZelShaderConstFiller.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureManager.h"
#include "Render/RenderSystem.h"
#include "tests/Entity/Material/ProgramDeviceFixture.h"

namespace ZelTest {

class FrameTest : public ProgramDeviceTest {
protected:
    void SetUp() override {
        ProgramDeviceTest::SetUp();
        std::filesystem::create_directories(dir_.Path() / "Data/Effects/Legacy5");
        Zel::SetEngineEffectRoot("../Data/Effects/Legacy5/");
        G()->GetTextureManager()->SetDevice(Device().GetD3DDevice(), &Device());
        system_.SetShaderCompiler(&compiler_);
        system_.SetShaderConstFiller(&filler_);
        system_.SetRenderDevice(&Device());
        G()->GetSceneManager()->SetRenderSystem(&system_);
        G()->GetMaterialManager()->CreateBuiltinMaterials();
    }
    void TearDown() override {
        G()->GetSceneManager()->SetRenderSystem(nullptr);
        system_.SetRenderDevice(nullptr);
        // The targets and textures the managers hold go before the device they were made on.
        Zel::Globals::DeleteSingleton();
        ProgramDeviceTest::TearDown();
    }
    // The camera at eye looking at target, y up, a 50 degree lens for the 64 × 48 window. The
    // scene caches projection × view; the filler reads it as the current camera's.
    void LookAt(const float* eye, const float* target) {
        float view[16], projection[16];
        const float up[3] = {0, 1, 0};
        system_.MakeLookAtMatrix(eye, target, up, view);
        system_.MakePerspectiveMatrix(50.0f, 64.0f / 48.0f, 0.5f, 20.0f, projection);
        Zel::SceneManager* scene = G()->GetSceneManager();
        scene->SetViewMatrix(view);
        scene->SetProjectionMatrix(projection);
        float viewProjection[16];
        std::copy_n(scene->GetViewProjectionMatrix(), 16, viewProjection);
        scene->SetCurrentView(view, viewProjection, eye);
    }

    Zel::LegacyShaderCompiler compiler_;
    Zel::ZelShaderConstFiller filler_;
    Zel::RenderSystem system_;
};

}  // namespace ZelTest
