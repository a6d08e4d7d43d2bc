// Whole frames through generated effects on the software device: the built-in "DrawQuad"
// material over a checker texture, and a lit textured box drawn with the ambient-lighting
// technique of a generated effect. Parameters come from the shader constant filler.
// Regenerate with ZEL_UPDATE_GOLDEN=1 ctest --test-dir build/test -L effectgen, then look at
// tests/golden/effectgen_*.png before committing them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "Core/EnginePaths.h"
#include "Entity/Material/LegacyShaderCompiler.h"
#include "Entity/Scene/Light.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureManager.h"
#include "Entity/Material/ZelShaderConstFiller.h"
#include "Platform/Win32/Win32Window.h"
#include "Render/RenderOperation.h"
#include "Render/RenderSystem.h"
#include "support/GoldenImage.h"
#include "tests/Entity/Material/EffectGenFixture.h"
#include "tests/Entity/Material/ProgramDeviceFixture.h"

namespace {

namespace fs = std::filesystem;

// Pipeline slots: 0 draws the "Ambient" technique, 12 (a lit material's slot) with a plain light
// "VertexAmbientLighting".
constexpr std::uint32_t kAmbientSlot = 0;
constexpr std::uint32_t kLitSlot = 12;

constexpr int kTolerance = 3;

void Multiply(const float* a, const float* b, float* out) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += a[i * 4 + k] * b[k * 4 + j];
            out[i * 4 + j] = sum;
        }
}

// Rotation about y then x, for row vectors (transposed for the engine).
void Rotation(float yaw, float pitch, float* out) {
    const float cy = std::cos(yaw), sy = std::sin(yaw), cp = std::cos(pitch), sp = std::sin(pitch);
    const float ry[16] = {cy, 0, -sy, 0, 0, 1, 0, 0, sy, 0, cy, 0, 0, 0, 0, 1};
    const float rx[16] = {1, 0, 0, 0, 0, cp, sp, 0, 0, -sp, cp, 0, 0, 0, 0, 1};
    Multiply(ry, rx, out);
}

class EffectGoldenTest : public ZelTest::ProgramDeviceTest {
protected:
    void SetUp() override {
        ZelTest::ProgramDeviceTest::SetUp();
        fs::create_directories(dir_.Path() / "Data/Effects/Legacy5");
        Zel::SetEngineEffectRoot("../Data/Effects/Legacy5/");
        G()->GetTextureManager()->SetDevice(Device().GetD3DDevice());
        renderSystem_.SetShaderCompiler(&compiler_);
        renderSystem_.SetRenderDevice(&Device());
        renderSystem_.SetAmbientColor(0.25f, 0.25f, 0.3f, 1.0f);
        G()->GetSceneManager()->SetRenderSystem(&renderSystem_);
        MakeChecker();
    }
    void TearDown() override {
        G()->GetSceneManager()->SetRenderSystem(nullptr);
        renderSystem_.SetRenderDevice(nullptr);
        checker_.reset();
        ZelTest::ProgramDeviceTest::TearDown();
    }

    // An 8 x 8 texture of 2 x 2 cells, orange and pale blue.
    void MakeChecker() {
        IDirect3DTexture9* texture = nullptr;
        // A dynamic default-pool texture: the device may be an Ex device, which has no managed
        // pool.
        ASSERT_EQ(D3D_OK,
                  Device().GetD3DDevice()->CreateTexture(8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8,
                                                         D3DPOOL_DEFAULT, &texture, nullptr));
        D3DLOCKED_RECT locked;
        ASSERT_EQ(D3D_OK, texture->LockRect(0, &locked, nullptr, 0));
        for (int y = 0; y < 8; ++y) {
            auto* row =
                reinterpret_cast<DWORD*>(static_cast<char*>(locked.pBits) + y * locked.Pitch);
            for (int x = 0; x < 8; ++x) row[x] = ((x / 2 + y / 2) % 2) ? 0xFFF08020u : 0xFFC0D8F0u;
        }
        texture->UnlockRect(0);
        checker_ = std::make_unique<Zel::TextureBase>(0, Device().GetD3DDevice(), 2);
        checker_->SetDeviceTexture(texture);  // takes the reference
    }

    void Begin(bool depth) {
        IDirect3DDevice9* d = Device().GetD3DDevice();
        ASSERT_EQ(D3D_OK,
                  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF101018u, 1.0f, 0));
        d->SetRenderState(D3DRS_ZENABLE, depth ? TRUE : FALSE);
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        ASSERT_EQ(D3D_OK, d->BeginScene());
    }
    void Finish(const char* name) {
        IDirect3DDevice9* d = Device().GetD3DDevice();
        ASSERT_EQ(D3D_OK, d->EndScene());
        ASSERT_EQ(D3D_OK, d->Present(nullptr, nullptr, nullptr, nullptr));
        ZelTest::ExpectGoldenFrame(*Win32Window::Find(window_), name, kTolerance);
    }
    // Fills the program for the pass drawn in the pipeline slot (the filler picks the slot's
    // technique for the op's light), then draws through that technique's pass 0.
    template <class Draw>
    void DrawWith(Zel::GpuProgram& program, std::uint32_t pipelineSlot, Zel::RenderOperation& op,
                  Draw draw) {
        renderSystem_.SetPipelineSlot(pipelineSlot);
        Zel::ZelShaderConstFiller filler;
        filler.Fill(op, program);
        ASSERT_GE(program.Begin(), 1u);
        ASSERT_TRUE(program.BeginPass(0));
        draw(Device().GetD3DDevice());
        program.EndPass();
        program.End();
    }

    Zel::LegacyShaderCompiler compiler_;
    Zel::RenderSystem renderSystem_;
    std::unique_ptr<Zel::TextureBase> checker_;
};

TEST_F(EffectGoldenTest, DrawQuadMaterial) {
    G()->GetMaterialManager()->CreateBuiltinMaterials();
    Zel::Material* quad = G()->GetMaterialManager()->FindMaterial("DrawQuad", false);
    ASSERT_NE(quad, nullptr);
    Zel::Pass* pass = quad->GetPass(0);
    pass->renderState.stages[0].SetTexture(checker_.get());
    // The manager outlives the checker texture: the stage lets go of it first.
    struct Unbind {
        Zel::Pass* pass;
        ~Unbind() { pass->renderState.stages[0].SetTexture(nullptr); }
    } unbind{pass};
    quad->GenerateGpuProgram();
    ASSERT_TRUE(quad->IsProgramReady());
    ASSERT_NE(quad->GetProgram(), Programs().GetDefaultProgram());

    struct Vertex {
        float x, y, z;
        DWORD colour;
        float u, v;
    };
    const Vertex quadVertices[4] = {{-0.8f, 0.8f, 0.5f, 0xFFFFFFFFu, 0, 0},
                                    {0.8f, 0.8f, 0.5f, 0xFFFF8080u, 1, 0},
                                    {-0.8f, -0.8f, 0.5f, 0xFF80FF80u, 0, 1},
                                    {0.8f, -0.8f, 0.5f, 0xFF8080FFu, 1, 1}};
    Zel::RenderOperation op;
    op.renderState = &pass->renderState;
    op.pass = pass;
    Begin(false);
    DrawWith(*quad->GetProgram(), kAmbientSlot, op, [&](IDirect3DDevice9* d) {
        d->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        ASSERT_EQ(D3D_OK, d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quadVertices, sizeof(Vertex)));
    });
    Finish("effectgen_drawquad");
}

TEST_F(EffectGoldenTest, LitTexturedBox) {
    ZelTest::MaterialMaker maker;
    Zel::Material& box = maker.Make({1, true, {{0x13, {{1}}}}});
    Zel::Pass* pass = box.GetPass(0);
    pass->renderState.stages[0].SetTexture(checker_.get());
    Zel::GpuProgram* program = Programs().LoadProgram(compiler_.Generate(&box, false));
    ASSERT_NE(program, nullptr);
    ASSERT_TRUE(program->IsLoadSucceeded());

    struct Vertex {
        float x, y, z, nx, ny, nz, u, v;
    };
    std::vector<Vertex> vertices;
    std::vector<WORD> indices;
    // Each face: its normal n and two in-plane axes a, b.
    const float faces[6][9] = {{0, 0, 1, 1, 0, 0, 0, 1, 0},  {0, 0, -1, -1, 0, 0, 0, 1, 0},
                               {1, 0, 0, 0, 0, -1, 0, 1, 0}, {-1, 0, 0, 0, 0, 1, 0, 1, 0},
                               {0, 1, 0, 1, 0, 0, 0, 0, -1}, {0, -1, 0, 1, 0, 0, 0, 0, 1}};
    for (const auto& f : faces) {
        const WORD base = WORD(vertices.size());
        for (int corner = 0; corner < 4; ++corner) {
            const float s = corner & 1 ? 1.0f : -1.0f, t = corner & 2 ? 1.0f : -1.0f;
            vertices.push_back({f[0] + s * f[3] + t * f[6], f[1] + s * f[4] + t * f[7],
                                f[2] + s * f[5] + t * f[8], f[0], f[1], f[2], (s + 1) / 2,
                                (1 - t) / 2});
        }
        for (WORD i : {0, 1, 2, 2, 1, 3}) indices.push_back(WORD(base + i));
    }

    // Matrices in the engine's column-vector layout, as programs are handed them.
    float rotation[16], world[16], view[16], projection[16], viewProjection[16];
    Rotation(0.6f, 0.45f, rotation);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) world[i * 4 + j] = rotation[j * 4 + i];
    const float eye[3] = {0, 0, 3.4f}, target[3] = {0, 0, 0}, up[3] = {0, 1, 0};
    renderSystem_.MakeLookAtMatrix(eye, target, up, view);
    renderSystem_.MakePerspectiveMatrix(57.0f, 64.0f / 48.0f, 0.5f, 20.0f, projection);
    Multiply(projection, view, viewProjection);
    const float* camera = eye;
    G()->GetSceneManager()->SetCurrentView(view, viewProjection, camera);

    Zel::Light sun(0);
    const float direction[3] = {-0.4f, -0.6f, -0.7f};
    sun.SetDirection(direction);
    const float none[4] = {0, 0, 0, 1}, diffuse[4] = {1.0f, 0.95f, 0.85f, 1},
                specular[4] = {1, 1, 1, 1};
    sun.SetColours(none, diffuse, specular);

    Zel::RenderOperation op;
    std::memcpy(op.worldMatrix, world, sizeof world);
    std::memcpy(op.viewMatrix, view, sizeof view);
    op.renderState = &pass->renderState;
    op.pass = pass;
    op.light = &sun;
    Begin(true);
    DrawWith(*program, kLitSlot, op, [&](IDirect3DDevice9* d) {
        d->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
        ASSERT_EQ(D3D_OK,
                  d->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, UINT(vertices.size()),
                                            UINT(indices.size() / 3), indices.data(),
                                            D3DFMT_INDEX16, vertices.data(), sizeof(Vertex)));
    });
    Finish("effectgen_lit_box");
}

}  // namespace
