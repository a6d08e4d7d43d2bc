// Debug geometry reaches the render device of the scene manager's render system.
#include <gtest/gtest.h>

#include <algorithm>

#include "Entity/Scene/SceneManager.h"
#include "Math/MathUtil.h"
#include "Physics/PhysicsDebugRenderer.h"
#include "Render/RenderSystem.h"
#include "tests/Render/d3d9/DeviceFixture.h"

namespace {

using namespace Zel;

class DebugDrawDeviceTest : public ZelTest::ReadyDeviceTest {
protected:
    void SetUp() override {
        ReadyDeviceTest::SetUp();
        renderSystem_.SetRenderDevice(&Device());
        G()->GetSceneManager()->SetRenderSystem(&renderSystem_);
    }
    void TearDown() override {
        G()->GetSceneManager()->SetRenderSystem(nullptr);
        renderSystem_.SetRenderDevice(nullptr);
        ReadyDeviceTest::TearDown();
    }
    RenderSystem renderSystem_;
};

TEST_F(DebugDrawDeviceTest, EachKindIsOneDrawAndTheWorldMatrixComesBack) {
    float world[16];
    std::copy(IdentityMatrix(), IdentityMatrix() + 16, world);
    world[3] = 7;
    Device().SetWorldMatrix(world);

    Nx::NxDebugRenderable r;
    r.points = {{{0, 0, 0}, 0xFFFFFFFFu}, {{1, 0, 0}, 1u}, {{0, 1, 0}, 2u}};
    r.lines = {{{0, 0, 0}, {1, 1, 1}, 3u}};
    r.triangles = {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 4u}, {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}, 5u}};
    PhysicsDebugRenderer::Render(r);
    EXPECT_EQ(Calls(D3D9Call::DrawPrimitiveUP), 3u);

    const float vertices[3 * 8] = {0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0,
                                   0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0};
    const std::uint32_t indices[3] = {0, 1, 2};
    PhysicsDebugRenderer::RenderWireframe(3, 1, indices, vertices, 32);
    EXPECT_EQ(Calls(D3D9Call::DrawIndexedPrimitiveUP), 1u);

    float after[16];
    Device().GetWorldMatrix(after);
    EXPECT_EQ(after[3], 7.0f);
}

TEST(PhysicsDebugRendererTest, WithoutADeviceNothingIsDrawn) {
    Nx::NxDebugRenderable r;
    r.lines = {{{0, 0, 0}, {1, 1, 1}, 3u}};
    PhysicsDebugRenderer::Render(r);  // no Globals, no scene manager: a no-op
    SUCCEED();
}

}  // namespace
