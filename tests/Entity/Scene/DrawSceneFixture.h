// The scene with a render system drawing on the software device: the effect compiler and the
// constant filler bound, the built-in materials made, the viewport the window's, a camera helper
// and a box mesh helper. Shadow, billboard and particle tests draw through it.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "Core/DeviceCaps.h"
#include "Core/EnginePaths.h"
#include "Entity/Material/LegacyShaderCompiler.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/ZelShaderConstFiller.h"
#include "Entity/Scene/Shadow.h"
#include "Entity/Texture/TextureManager.h"
#include "Render/RenderSystem.h"
#include "tests/Entity/Scene/RenderSceneFixture.h"

namespace ZelTest {

class DrawSceneTest : public RenderSceneTest {
protected:
    void SetUp() override {
        texturesOnDevice_ = true;
        RenderSceneTest::SetUp();
        system_.SetViewport(0, 0, kWidth, kHeight);
        Scene().SetDX7Mode(false);
    }
    void TearDown() override {
        if (system_.IsInScene())
            system_.EndScene();
        Scene().GetRenderQueue()->ClearAll();
        Zel::Shadow::Shutdown();
        // Targets stay pooled in the texture manager, which outlives the device.
        G()->GetTextureManager()->DetachRenderTargets();
        RenderSceneTest::TearDown();
    }

    // View and projection of an eye looking at target (Z up) become the scene's current ones.
    void LookAt(const float* eye, const float* target, float fovDegrees = 50.0f) {
        float view[16], projection[16], viewProjection[16];
        const float up[3] = {0.0f, 0.0f, 1.0f};
        system_.MakeLookAtMatrix(eye, target, up, view);
        system_.MakePerspectiveMatrix(fovDegrees, float(kWidth) / float(kHeight), 0.5f, 50.0f,
                                      projection);
        Scene().SetViewMatrix(view);
        Scene().SetProjectionMatrix(projection);
        std::copy_n(Scene().GetViewProjectionMatrix(), 16, viewProjection);
        Scene().SetCurrentView(view, viewProjection, eye);
    }

    // Gives every vertex of the mesh the colour (r, g, b, a).
    static void PaintMesh(Zel::Mesh& mesh, const float* rgba) {
        Zel::VertexData& data = *mesh.GetVertexData();
        std::vector<std::uint8_t> bytes(std::size_t(data.GetVertexCount()) * 16);
        for (std::size_t v = 0; v < data.GetVertexCount(); ++v)
            std::memcpy(bytes.data() + v * 16, rgba, 16);
        data.AddComponent(Zel::VF_COLOUR, Zel::VET_FLOAT4, data.GetVertexCount(), bytes);
    }

    // A closed box from min to max (12 triangles, wound to face outwards).
    Zel::Mesh& MakeBox(const float* min, const float* max) {
        std::vector<float> p;
        for (int i = 0; i < 8; ++i) {
            p.push_back(i & 1 ? max[0] : min[0]);
            p.push_back(i & 2 ? max[1] : min[1]);
            p.push_back(i & 4 ? max[2] : min[2]);
        }
        const std::vector<std::uint32_t> indices = {0, 2, 3, 0, 3, 1, 4, 5, 7, 4, 7, 6,
                                                    0, 1, 5, 0, 5, 4, 2, 6, 7, 2, 7, 3,
                                                    0, 4, 6, 0, 6, 2, 1, 3, 7, 1, 7, 5};
        auto mesh = std::make_unique<Zel::Mesh>(nullptr, true, true);
        GeometryTest::FillMesh(*mesh, p, indices);
        meshes_.push_back(std::move(mesh));
        return *meshes_.back();
    }

    // An unlit, two-sided material of one untextured pass drawing the vertex colours, its program
    // generated.
    Zel::Material& FlatMaterial(const char* name, std::uint32_t flags) {
        auto material = std::make_unique<Zel::Material>(nullptr, name, "Material", 0);
        material->lightingMode = 0;
        material->firstSettingWord = 4;
        material->secondSettingWord = 12;
        Zel::Pass* pass = material->CreatePass(0);
        pass->vertexFlags = Zel::VF_POSITION | Zel::VF_COLOUR;
        pass->vertexProgramKind = 4;
        pass->renderState.cullMode = Zel::CULL_NONE;
        material->UpdatePasses();
        EXPECT_TRUE(material->AssignGeneratedProgram());
        material->flags = flags;
        materials_.push_back(std::move(material));
        return *materials_.back();
    }
};

}  // namespace ZelTest
