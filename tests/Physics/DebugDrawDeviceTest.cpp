// Debug geometry reaches the render device of the scene manager's render system, drawn unlit,
// unshaded and untextured in world space through the current camera, and the device gets back
// every state the drawing changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "Math/MathUtil.h"
#include "Physics/PhysicsDebugRenderer.h"
#include "PhysicsDeviceFixture.h"

namespace {

using namespace Zel;

bool SameMatrix(const float* a, const float* b) {
    return std::equal(a, a + 16, b);
}

class DebugDrawDeviceTest : public ZelTest::PhysicsDeviceTest {
protected:
    // A device state that differs from the debug set-up in everything it touches.
    void SetUpOtherState(bool lighting) {
        const DWORD vs[] = {0xFFFE0200, 0x0000001F, 0x0000FFFF};
        const DWORD ps[] = {0xFFFF0200, 0x0000FFFF};
        IDirect3DDevice9* d = Device().GetD3DDevice();
        ASSERT_EQ(d->CreateVertexShader(vs, &vertexShader_), D3D_OK);
        ASSERT_EQ(d->CreatePixelShader(ps, &pixelShader_), D3D_OK);
        ASSERT_EQ(
            d->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture_, nullptr),
            D3D_OK);
        Cache().SetVertexShader(vertexShader_);
        Cache().SetPixelShader(pixelShader_);
        Cache().SetTexture(0, texture_);
        Device().SetFVF(D3DFVF_XYZ | D3DFVF_TEX1);
        Device().SetLightingEnabled(lighting);
        Cache().SetRenderState(D3DRS_LIGHTING, lighting ? TRUE : FALSE);
        Device().SetCullMode(CULL_CLOCKWISE);
        std::copy_n(IdentityMatrix(), 16, world_);
        world_[3] = 7.0f;
        std::copy_n(IdentityMatrix(), 16, view_);
        view_[7] = -2.0f;
        std::copy_n(IdentityMatrix(), 16, projection_);
        projection_[0] = 0.5f;
        Device().SetWorldMatrix(world_);
        Device().SetViewMatrix(view_);
        Device().SetProjectionMatrix(projection_);
    }
    void ReleaseOtherState() {
        Device().UnbindShaders();
        Device().UnbindTextures();
        for (IUnknown** object : {reinterpret_cast<IUnknown**>(&vertexShader_),
                                  reinterpret_cast<IUnknown**>(&pixelShader_),
                                  reinterpret_cast<IUnknown**>(&texture_)}) {
            if (*object != nullptr) {
                (*object)->Release();
            }
            *object = nullptr;
        }
    }
    void TearDown() override {
        ReleaseOtherState();
        PhysicsDeviceTest::TearDown();
    }

    void ExpectOtherStateBack(bool lighting) {
        EXPECT_EQ(Cache().GetVertexShader(), vertexShader_);
        EXPECT_EQ(Cache().GetPixelShader(), pixelShader_);
        EXPECT_EQ(Cache().GetTexture(0), texture_);
        EXPECT_EQ(Cache().GetFVF(), D3DFVF_XYZ | D3DFVF_TEX1);
        EXPECT_EQ(Device().IsLightingEnabled(), lighting);
        EXPECT_EQ(DeviceRenderState(D3DRS_LIGHTING), lighting ? TRUE : FALSE);
        EXPECT_EQ(DeviceRenderState(D3DRS_CULLMODE), D3DCULL_CW);
        EXPECT_EQ(DeviceRenderState(D3DRS_FILLMODE), D3DFILL_SOLID);
        float m[16];
        Device().GetWorldMatrix(m);
        EXPECT_TRUE(SameMatrix(m, world_));
        Device().GetViewMatrix(m);
        EXPECT_TRUE(SameMatrix(m, view_));
        Device().GetProjectionMatrix(m);
        EXPECT_TRUE(SameMatrix(m, projection_));
        // The saved references were given back: only the caller's remains.
        texture_->AddRef();
        EXPECT_EQ(texture_->Release(), 1u);
        vertexShader_->AddRef();
        EXPECT_EQ(vertexShader_->Release(), 1u);
    }

    IDirect3DVertexShader9* vertexShader_ = nullptr;
    IDirect3DPixelShader9* pixelShader_ = nullptr;
    IDirect3DTexture9* texture_ = nullptr;
    float world_[16] = {}, view_[16] = {}, projection_[16] = {};
};

TEST_F(DebugDrawDeviceTest, BodiesAndClothAreDrawnUnlitThroughTheCameraAndTheStateComesBack) {
    for (bool lighting : {true, false}) {
        SCOPED_TRACE(lighting);
        SetUpOtherState(lighting);
        ASSERT_NE(Make(ZelTest::BodyDesc(PHX_SHAPE_PLANE, 0, 0, 1, 0)), nullptr);
        ASSERT_NE(Make(ZelTest::BodyDesc(PHX_SHAPE_BOX, 0.5f, 0.5f, 0.5f, 0, 0, 0, 0.5f)), nullptr);
        ASSERT_NE(Make(ZelTest::BodyDesc(PHX_SHAPE_CLOTH, 1, 1, 0.5f, 0, 1, 0, 1)), nullptr);
        Run(1);
        recorder_->draws.clear();
        scene_->DebugDraw();

        // The renderable's lists (a contact point, the bodies' lines, the cloth's triangles),
        // then the cloth's wireframe; the two vertex layouts differ in what they set.
        const std::vector<ZelTest::RecordedDraw>& draws = recorder_->draws;
        ASSERT_GE(draws.size(), 3u);
        struct Expected {
            DWORD fvf;
            DWORD cull;
            DWORD fill;
        };
        const Expected list = {D3DFVF_XYZ | D3DFVF_DIFFUSE, D3DCULL_CW, D3DFILL_SOLID};
        const Expected wireframe = {D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, D3DCULL_NONE,
                                    D3DFILL_WIREFRAME};
        for (std::size_t i = 0; i < draws.size(); ++i) {
            SCOPED_TRACE(i);
            const ZelTest::RecordedDraw& d = draws[i];
            const bool last = i + 1 == draws.size();
            EXPECT_EQ(d.indexed, last);
            const Expected& e = last ? wireframe : list;
            EXPECT_EQ(d.fvf, e.fvf);
            EXPECT_EQ(d.cull, e.cull);
            EXPECT_EQ(d.fill, e.fill);
            EXPECT_EQ(d.lighting, FALSE);
            EXPECT_FALSE(d.lightingFlag);
            EXPECT_FALSE(d.shaders);
            EXPECT_FALSE(d.texture);
            EXPECT_TRUE(SameMatrix(d.world, IdentityMatrix()));
            EXPECT_TRUE(SameMatrix(d.view, camera_->GetViewMatrix()->m));
            EXPECT_TRUE(SameMatrix(d.projection, camera_->GetProjectionMatrix()->m));
        }
        EXPECT_EQ(draws[draws.size() - 2].primitive, PT_TRIANGLE_LIST);
        EXPECT_EQ(draws[draws.size() - 3].primitive, PT_LINE_LIST);
        EXPECT_EQ(draws.back().primitive, PT_TRIANGLE_LIST);
        EXPECT_EQ(draws.back().count, 18u);  // the 1 x 1 grid of half-unit cells
        ExpectOtherStateBack(lighting);

        scene_->ReleaseAllEntities();
        ReleaseOtherState();
    }
}

TEST_F(DebugDrawDeviceTest, WithoutACameraTheDeviceKeepsItsViewAndProjection) {
    Scene()->SetRenderCamera(nullptr);
    Scene()->SetMainCamera(nullptr);
    SetUpOtherState(true);
    Nx::NxDebugRenderable r;
    r.lines = {{{0, 0, 0}, {1, 1, 1}, 3u}};
    PhysicsDebugRenderer::Render(r);
    ASSERT_EQ(recorder_->draws.size(), 1u);
    EXPECT_TRUE(SameMatrix(recorder_->draws[0].view, view_));
    EXPECT_TRUE(SameMatrix(recorder_->draws[0].projection, projection_));
}

TEST(PhysicsDebugRendererTest, WithoutADeviceNothingIsDrawn) {
    Nx::NxDebugRenderable r;
    r.lines = {{{0, 0, 0}, {1, 1, 1}, 3u}};
    PhysicsDebugRenderer::Render(r);  // no Globals, no scene manager: a no-op
    SUCCEED();
}

}  // namespace
