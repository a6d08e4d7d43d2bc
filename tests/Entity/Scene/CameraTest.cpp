// Cameras and rotators: looking at a point, turning about the camera's own axes, moving along
// them, and the view volume built from the result.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "Core/Globals.h"
#include "Entity/Geometry/TransformMath.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/SceneManager.h"
#include "Math/AABB.h"
#include "Render/RenderSystem.h"
#include "tests/Core/CoreRootFixture.h"

namespace {

using namespace Zel;

// LookAt normalises with one Newton step of the bit-pattern estimate (about 0.2 % off), and
// turns compose that result.
constexpr float kTolerance = 6e-3f;

class CameraTest : public ZelTest::CoreRootTest {
protected:
    SceneManager& Scene() { return *G()->GetSceneManager(); }
    // The camera's forward axis, as a unit vector: turns do not renormalise the orientation, so
    // its length drifts while its direction holds.
    static std::array<float, 3> Forward(Camera& camera) {
        const float* d = camera.GetDirection();
        const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        return {d[0] / length, d[1] / length, d[2] / length};
    }
};

void ExpectVec3(const std::array<float, 3>& v, float x, float y, float z) {
    EXPECT_NEAR(v[0], x, kTolerance);
    EXPECT_NEAR(v[1], y, kTolerance);
    EXPECT_NEAR(v[2], z, kTolerance);
}

TEST_F(CameraTest, LookAtPlacesTheEyeAndPointsForwardAtTheTarget) {
    const struct {
        const char* what;
        float eye[3], target[3], up[3];
        float forward[3];
        float upAxis[3];
    } cases[] = {
        {"along -y, z up", {0, 5, 0}, {0, 0, 0}, {0, 0, 1}, {0, -1, 0}, {0, 0, 1}},
        {"along +x, z up", {-3, 0, 1}, {7, 0, 1}, {0, 0, 1}, {1, 0, 0}, {0, 0, 1}},
        // Up along the view: (0, 1, 0) serves instead, so a top-down view keeps +y up.
        {"straight down", {0, 0, 10}, {0, 0, 0}, {0, 0, 1}, {0, 0, -1}, {0, 1, 0}},
        {"straight down, up down", {0, 0, 10}, {0, 0, 0}, {0, 0, -1}, {0, 0, -1}, {0, 1, 0}},
        // Eye on the target: forward stays -z.
        {"eye on target", {1, 1, 1}, {1, 1, 1}, {0, 1, 0}, {0, 0, -1}, {0, 1, 0}},
    };
    for (const auto& c : cases) {
        Camera* camera = Scene().CreateCamera();
        camera->LookAt(c.eye, c.target, c.up);
        const float* q = camera->GetOrientation();
        const float length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
        EXPECT_NEAR(length, 1.0f, kTolerance) << c.what;
        ExpectVec3(Forward(*camera), c.forward[0], c.forward[1], c.forward[2]);
        const float* up = camera->GetUp();
        ExpectVec3({up[0], up[1], up[2]}, c.upAxis[0], c.upAxis[1], c.upAxis[2]);
        const float* position = camera->GetWorldPosition();
        ExpectVec3({position[0], position[1], position[2]}, c.eye[0], c.eye[1], c.eye[2]);
        Scene().DestroyCamera(camera);
    }
}

TEST_F(CameraTest, TurnsAreAboutTheCamerasOwnAxesAndMovesAlongThem) {
    Camera* camera = Scene().CreateCamera();
    const float eye[3] = {0, 0, 0}, target[3] = {0, 1, 0}, up[3] = {0, 0, 1};
    camera->LookAt(eye, target, up);
    const float quarter = static_cast<float>(std::numbers::pi / 2);
    camera->Yaw(quarter);  // about up (z): forward +y turns to -x
    ExpectVec3(Forward(*camera), -1, 0, 0);
    camera->Pitch(quarter);  // about right: forward turns up
    ExpectVec3(Forward(*camera), 0, 0, 1);
    camera->MoveAlongDirection(2.0f);
    const float* p = camera->GetWorldPosition();
    ExpectVec3({p[0], p[1], p[2]}, 0, 0, 2);
    // A turn marks the node changed: the world orientation follows.
    const float* w = camera->GetWorldOrientation();
    const float* l = camera->GetOrientation();
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(w[i], l[i], kTolerance);
}

TEST_F(CameraTest, TurningToADirectionMarksTheCameraChanged) {
    Camera* camera = Scene().CreateCamera();
    (void)camera->GetWorldMatrix();
    const float towards[3] = {5, 0, 0};
    camera->FaceTowards(towards);
    EXPECT_NE(camera->GetState() & NODE_WORLD_DIRTY, 0u);
    ExpectVec3(Forward(*camera), 1, 0, 0);
}

TEST_F(CameraTest, TheViewVolumeFromLookAtClassifiesBoxes) {
    RenderSystem renderSystem;
    Scene().SetRenderSystem(&renderSystem);
    Camera* camera = Scene().CreateCamera();
    const float eye[3] = {0, -10, 2}, target[3] = {0, 0, 2}, up[3] = {0, 0, 1};
    camera->LookAt(eye, target, up);
    std::uint32_t visits = 0;
    camera->Update(&visits, 0.0f, 5);
    const struct {
        const char* what;
        float min[3], max[3];
        int expected;  // 0 inside, 1 outside, 2 across a plane
    } boxes[] = {
        {"in front", {-1, -1, 1}, {1, 1, 3}, 0},
        {"behind the eye", {-1, -30, 1}, {1, -20, 3}, 1},
        {"far to the side", {200, 0, 0}, {210, 5, 5}, 1},
        {"across the near plane", {-1, -11, 1}, {1, -9, 3}, 2},
        {"across the far plane", {-1, 985, 0}, {1, 1000, 4}, 2},
        {"beyond far", {-1, 995, 0}, {1, 1005, 4}, 1},
    };
    for (const auto& b : boxes) {
        const AABB box(b.min, b.max);
        EXPECT_EQ(camera->IntersectAABB(box), b.expected) << b.what;
    }
    Scene().SetRenderSystem(nullptr);
}

TEST_F(CameraTest, ACloneKeepsTheTransformAndAxesButNotTheViewVolume) {
    Camera* camera = Scene().CreateCamera();
    const float eye[3] = {1, 2, 3}, target[3] = {4, 2, 3}, up[3] = {0, 0, 1};
    camera->LookAt(eye, target, up);
    camera->SetFOV(80.0f);
    (void)camera->GetDirection();
    auto* clone = static_cast<Camera*>(camera->Clone(false));
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(Scene().GetCameraCount(), 2u);
    ExpectVec3(Forward(*clone), 1, 0, 0);
    EXPECT_FLOAT_EQ(clone->GetFOV(), 45.0f);
    clone->Destroy();
    EXPECT_EQ(Scene().GetCameraCount(), 1u);
}

}  // namespace
