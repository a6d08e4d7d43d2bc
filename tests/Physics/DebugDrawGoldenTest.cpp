// A physics scene's debug drawing in a whole frame on the software device, seen through the
// scene manager's camera: a box resting on the ground plane and a small cloth above and beside
// it. Regenerate with ZEL_UPDATE_GOLDEN=1 ctest --test-dir build/dev -L physics, then look at
// tests/golden/physics_debug.png before committing it.
#include <gtest/gtest.h>

#include "Platform/Win32/Win32Window.h"
#include "PhysicsDeviceFixture.h"
#include "support/GoldenImage.h"

namespace {

using namespace Zel;
using ZelTest::BodyDesc;

constexpr int kTolerance = 3;

class DebugDrawGoldenTest : public ZelTest::PhysicsDeviceTest {};

TEST_F(DebugDrawGoldenTest, BoxOnAPlaneAndAClothThroughTheCamera) {
    // Bounding boxes (the plane's is unbounded, the cloth's node tree a thicket) would hide the
    // shapes; the shapes, contacts and cloth faces are what this frame shows.
    GetPhysicsSDK()->setParameter(Nx::NX_VISUALIZE_COLLISION_AABBS, 0.0f);
    ASSERT_NE(Make(BodyDesc(PHX_SHAPE_PLANE, 0, 0, 1, 0)), nullptr);
    ASSERT_NE(Make(BodyDesc(PHX_SHAPE_BOX, 0.5f, 0.5f, 0.5f, 0, 0, 0, 0.5f)), nullptr);
    ASSERT_NE(Make(BodyDesc(PHX_SHAPE_CLOTH, 1, 1, 0.25f, 0, 1.4f, 0.6f, 0.6f)), nullptr);
    Run(1);
    IDirect3DDevice9* d = Device().GetD3DDevice();
    ASSERT_EQ(D3D_OK,
              d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF101018u, 1.0f, 0));
    system_.BeginScene();
    scene_->DebugDraw();
    system_.EndScene();
    ASSERT_EQ(D3D_OK, d->Present(nullptr, nullptr, nullptr, nullptr));
    ZelTest::ExpectGoldenFrame(*Win32Window::Find(window_), "physics_debug", kTolerance);
}

}  // namespace
