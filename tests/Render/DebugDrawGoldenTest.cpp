// The device's debug draws in whole frames on the software device, through the built-in
// materials and generated effects: box edges from two corners and from eight, a line, a filled
// triangle and a screen quad, in both drawing modes where the vertex layouts differ.
// Regenerate with ZEL_UPDATE_GOLDEN=1 ctest --test-dir build/dev -L pipeline, then look at
// tests/golden/debugdraw_*.png before committing them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "Entity/Scene/SceneManager.h"
#include "Platform/Win32/Win32Window.h"
#include "Render/AuxRenderImpl.h"
#include "Render/RenderSystem.h"
#include "support/GoldenImage.h"
#include "tests/Render/FrameFixture.h"

namespace {


constexpr int kTolerance = 3;

class DebugDrawGoldenTest : public ZelTest::FrameTest {
protected:
    void SetUp() override {
        ZelTest::FrameTest::SetUp();
        // A camera up and to the right of the origin, looking at it.
        const float eye[3] = {2.2f, 1.8f, 3.2f}, target[3] = {0, 0, 0};
        LookAt(eye, target);
    }

    void Frame(const char* name) {
        IDirect3DDevice9* d = Device().GetD3DDevice();
        ASSERT_EQ(D3D_OK,
                  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF101018u, 1.0f, 0));
        system_.BeginScene();
        const float green[4] = {0.2f, 1.0f, 0.3f, 1.0f}, yellow[4] = {1.0f, 0.9f, 0.1f, 1.0f},
                    red[4] = {1.0f, 0.2f, 0.2f, 1.0f}, blue[4] = {0.3f, 0.5f, 1.0f, 1.0f},
                    white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        // A unit box around the origin.
        const float minimum[3] = {-0.5f, -0.5f, -0.5f}, maximum[3] = {0.5f, 0.5f, 0.5f};
        system_.DrawAABB(minimum, maximum, green);
        // A flat box turned 45 degrees about y, above it.
        float corners[24];
        for (int i = 0; i < 8; ++i) {
            const float x = (i & 1) ? 0.5f : -0.5f, y = (i & 2) ? 1.0f : 0.8f,
                        z = (i & 4) ? 0.5f : -0.5f;
            const float c = std::cos(0.785f), s = std::sin(0.785f);
            corners[i * 3 + 0] = c * x + s * z;
            corners[i * 3 + 1] = y;
            corners[i * 3 + 2] = -s * x + c * z;
        }
        system_.DrawDebugBox(corners, yellow);
        // A line along x below the box.
        const float from[3] = {-1.2f, -0.8f, 0.0f}, to[3] = {1.2f, -0.8f, 0.0f};
        system_.DrawWireFrame(from, to, red);
        // A triangle standing on the floor behind the box.
        const float triangle[9] = {-1.4f, -0.5f, -1.0f, -0.4f, -0.5f, -1.4f, -1.0f, 0.9f, -1.2f};
        system_.DrawSimple(triangle, blue);
        // A quad in the lower right corner of the screen, with the built-in quad material.
        const float rect[4] = {0.5f, -0.95f, 0.45f, 0.45f}, uv[4] = {0, 0, 1, 1};
        system_.DrawQuad(rect, uv, nullptr, white);
        system_.EndScene();
        ASSERT_EQ(D3D_OK, d->Present(nullptr, nullptr, nullptr, nullptr));
        ZelTest::ExpectGoldenFrame(*Win32Window::Find(window_), name, kTolerance);
    }

    // The host's debug drawing flushed at the end of the scene: a grid on the floor, a wire
    // sphere, a solid cone, a solid cylinder placed by a matrix, a wire circle, box edges and a
    // screen-space rectangle.
    void AuxFrame(const char* name) {
        IDirect3DDevice9* d = Device().GetD3DDevice();
        ASSERT_EQ(D3D_OK,
                  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF101018u, 1.0f, 0));
        system_.SetViewport(0, 0, kWidth, kHeight);
        Zel::AuxRenderImpl aux(&Device());
        const float grey[4] = {0.5f, 0.5f, 0.5f, 1.0f}, green[4] = {0.2f, 1.0f, 0.3f, 1.0f},
                    orange[4] = {1.0f, 0.5f, 0.1f, 1.0f}, cyan[4] = {0.2f, 0.9f, 1.0f, 1.0f},
                    white[4] = {1.0f, 1.0f, 1.0f, 1.0f}, magenta[4] = {1.0f, 0.2f, 0.9f, 1.0f};
        // The camera's up is +Y; the shapes' axis is +Z, towards the camera's side.
        const float floorCentre[3] = {0.0f, 0.0f, -1.0f};
        aux.DrawGrid(floorCentre, grey, 3.0f, 6);
        const float sphereCentre[3] = {-0.6f, 0.4f, 0.0f};
        aux.DrawWireSphere(sphereCentre, 0.45f, green);
        const float coneBase[3] = {0.6f, -0.3f, -0.5f}, coneAxis[3] = {0.0f, 1.0f, 0.0f};
        aux.DrawSolidCone(coneBase, coneAxis, 0.3f, 0.9f, orange);
        const float placed[16] = {0.3f, 0, 0,    -0.7f, 0, 0.3f, 0, -0.6f,
                                  0,    0, 0.6f, 0.2f,  0, 0,    0, 1};
        aux.DrawSolidCylinder(placed, cyan);
        const float circleCentre[3] = {0.6f, 0.7f, 0.0f}, circleNormal[3] = {1.0f, 0.0f, 0.0f};
        aux.DrawWireCircle(circleCentre, 0.35f, circleNormal, white);
        const float box[6] = {-0.2f, -0.2f, -0.2f, 0.2f, 0.2f, 0.2f};
        aux.DrawAABB(box, magenta);
        const std::int32_t rect[4] = {2, 2, 20, 12};
        aux.DrawRect2D(rect, white);
        system_.BeginScene();
        aux.Flush();
        system_.EndScene();
        ASSERT_EQ(D3D_OK, d->Present(nullptr, nullptr, nullptr, nullptr));
        ZelTest::ExpectGoldenFrame(*Win32Window::Find(window_), name, kTolerance);
    }
};

TEST_F(DebugDrawGoldenTest, EveryDebugDrawInShaderMode) {
    ASSERT_EQ(Device().GetFixedFunctionMode(), Zel::MODE_SHADER);
    Frame("debugdraw_shader");
}

TEST_F(DebugDrawGoldenTest, EveryDebugDrawInFixedFunctionMode) {
    ASSERT_TRUE(Device().SetFixedFunctionMode(Zel::MODE_FIXED_FUNCTION));
    Frame("debugdraw_fixed");
}

TEST_F(DebugDrawGoldenTest, AuxiliaryDrawingInShaderMode) {
    AuxFrame("auxdraw_shader");
}

TEST_F(DebugDrawGoldenTest, AuxiliaryDrawingInFixedFunctionMode) {
    ASSERT_TRUE(Device().SetFixedFunctionMode(Zel::MODE_FIXED_FUNCTION));
    AuxFrame("auxdraw_fixed");
}

}  // namespace
