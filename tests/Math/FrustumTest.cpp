#include <gtest/gtest.h>

#include <cmath>

#include "Math/AABB.h"
#include "Math/Frustum.h"
#include "Math/MathUtil.h"
#include "Math/Quaternion.h"
#include "Math/Sphere.h"
#include "Render/RenderSystem.h"

namespace {

using namespace Zel;

constexpr float kIdentity[4] = {0.0f, 0.0f, 0.0f, 1.0f};
constexpr float kOrigin[3] = {0.0f, 0.0f, 0.0f};

float PlaneValue(const float* plane, const float* p) {
    return Dot3(plane, p) + plane[3];
}

void Update(Frustum& frustum, const float* position = kOrigin,
            const float* orientation = kIdentity) {
    RenderSystem renderSystem;
    frustum.Update(position, orientation, &renderSystem);
    frustum.ComputeCorners(position, orientation);
}

TEST(Frustum, DefaultsAndSettersMarkDirty) {
    Frustum frustum;
    EXPECT_EQ(frustum.GetFOV(), 45.0f);
    EXPECT_EQ(frustum.GetNearClip(), 0.1f);
    EXPECT_EQ(frustum.GetFarClip(), 1000.0f);
    EXPECT_EQ(frustum.GetAspectRatio(), 1.333f);
    EXPECT_TRUE(frustum.IsDirty());
    EXPECT_EQ(frustum.GetPlane(3)[2], 1.0f);
    frustum.SetDirty(false);
    frustum.SetFarClip(50.0f);
    EXPECT_TRUE(frustum.IsDirty());
    EXPECT_EQ(frustum.GetFarClip(), 50.0f);
}

TEST(Frustum, NearAndFarPlanesOfTheDefaultsFaceInwards) {
    Frustum frustum;
    Update(frustum);
    const float* nearPlane = frustum.GetPlane(4);
    const float* farPlane = frustum.GetPlane(5);
    EXPECT_NEAR(nearPlane[2], -1.0f, 1e-6f);
    EXPECT_NEAR(nearPlane[3], -0.1f, 1e-6f);
    EXPECT_NEAR(farPlane[2], 1.0f, 1e-6f);
    // r3 - r2 cancels to about 1e-4 in single precision, so the far distance keeps ~4 digits.
    EXPECT_NEAR(farPlane[3], 1000.0f, 0.1f);
    const float ahead[3] = {0, 0, -500};
    const float behind[3] = {0, 0, 1};
    for (int i = 0; i < 6; ++i) {
        EXPECT_GT(PlaneValue(frustum.GetPlane(i), ahead), 0.0f) << i;
    }
    EXPECT_LT(PlaneValue(nearPlane, behind), 0.0f);
}

// The matrices are the right-handed builders' in the engine's column-vector layout.
TEST(Frustum, ViewAndProjectionAreRightHandedColumnVectorMatrices) {
    Frustum frustum;
    frustum.SetFOV(90.0f);
    frustum.SetAspectRatio(2.0f);
    frustum.SetNearClip(1.0f);
    frustum.SetFarClip(11.0f);
    const float eye[3] = {1.0f, 2.0f, 3.0f};
    Update(frustum, eye);
    const float* view = frustum.GetViewMatrix()->m;
    EXPECT_FLOAT_EQ(view[3], -1.0f);
    EXPECT_FLOAT_EQ(view[7], -2.0f);
    EXPECT_FLOAT_EQ(view[11], -3.0f);
    EXPECT_FLOAT_EQ(view[15], 1.0f);
    const float* projection = frustum.GetProjectionMatrix()->m;
    EXPECT_NEAR(projection[0], 0.5f, 1e-6f);
    EXPECT_NEAR(projection[5], 1.0f, 1e-6f);
    EXPECT_FLOAT_EQ(projection[10], 11.0f / (1.0f - 11.0f));
    EXPECT_FLOAT_EQ(projection[11], 11.0f / (1.0f - 11.0f));
    EXPECT_EQ(projection[14], -1.0f);
    EXPECT_EQ(projection[15], 0.0f);

    // A point on the far plane straight ahead lands at depth 1.
    float viewProjection[16];
    frustum.GetViewProjection(viewProjection);
    const float p[4] = {1.0f, 2.0f, 3.0f - 11.0f, 1.0f};
    float clip[4];
    for (int r = 0; r < 4; ++r) {
        clip[r] = viewProjection[4 * r] * p[0] + viewProjection[4 * r + 1] * p[1] +
                  viewProjection[4 * r + 2] * p[2] + viewProjection[4 * r + 3] * p[3];
    }
    EXPECT_NEAR(clip[2] / clip[3], 1.0f, 1e-6f);
}

TEST(Frustum, CornersOfATurnedEyeLieOnItsPlanes) {
    // Turned 90 degrees about y: forward (-1, 0, 0), right (0, 0, -1), up (0, 1, 0).
    Frustum frustum;
    frustum.SetFOV(90.0f);
    frustum.SetAspectRatio(2.0f);
    frustum.SetNearClip(1.0f);
    frustum.SetFarClip(10.0f);
    const float axis[3] = {0.0f, 1.0f, 0.0f};
    float q[4];
    Quaternion::FromAngleAxis(q, 90.0f, axis);
    const float eye[3] = {1.0f, 2.0f, 3.0f};
    Update(frustum, eye, q);
    const float expected[8][3] = {
        {0, 3, 1},     {0, 3, 5},    {0, 1, 1},     {0, 1, 5},
        {-9, 12, -17}, {-9, 12, 23}, {-9, -8, -17}, {-9, -8, 23},
    };
    const float* corners = frustum.GetCorners();
    for (int k = 0; k < 8; ++k) {
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(corners[3 * k + i], expected[k][i], 1e-4f) << "corner " << k;
        }
    }
    // Each corner lies on the near or far plane and on two side planes.
    const int sides[4][2] = {{0, 3}, {0, 2}, {1, 3}, {1, 2}};
    for (int k = 0; k < 8; ++k) {
        const float* c = corners + 3 * k;
        EXPECT_NEAR(PlaneValue(frustum.GetPlane(k < 4 ? 4 : 5), c), 0.0f, 1e-4f) << k;
        EXPECT_NEAR(PlaneValue(frustum.GetPlane(sides[k % 4][0]), c), 0.0f, 1e-4f) << k;
        EXPECT_NEAR(PlaneValue(frustum.GetPlane(sides[k % 4][1]), c), 0.0f, 1e-4f) << k;
    }
}

// With a 90 degree view from the origin the top plane is (0, -a, -a, 0) exactly, so points
// (x, y, -y) lie on it exactly.
TEST(Frustum, BoxClassificationAtThePlanes) {
    Frustum frustum;
    frustum.SetFOV(90.0f);
    frustum.SetAspectRatio(1.0f);
    Update(frustum);
    ASSERT_EQ(frustum.GetPlane(0)[0], 0.0f);
    ASSERT_EQ(frustum.GetPlane(0)[1], frustum.GetPlane(0)[2]);
    ASSERT_EQ(frustum.GetPlane(0)[3], 0.0f);
    struct {
        float min[3];
        float max[3];
        int expected;
    } cases[] = {
        {{-1, 5, -5}, {1, 5, -5}, INTERSECT_DISJOINT},  // every corner on the top plane
        {{-1, 4, -5}, {1, 5, -5}, INTERSECT_INSIDE},    // touching it from inside
        {{-1, 4, -5}, {1, 6, -5}, INTERSECT_OVERLAP},
        {{-1, 6, -5}, {1, 7, -5}, INTERSECT_DISJOINT},
        {{-1, -1, -20}, {1, 1, -10}, INTERSECT_INSIDE},
        {{-1, -1, -20}, {1, 1, 10}, INTERSECT_OVERLAP},
        {{-1, -1, -2000}, {1, 1, -1500}, INTERSECT_DISJOINT},
    };
    for (const auto& c : cases) {
        const AABB box(c.min, c.max);
        EXPECT_EQ(frustum.IntersectAABB(box), c.expected) << c.min[1] << " " << c.max[1];
    }
}

TEST(Frustum, SphereClassificationAtThePlanes) {
    // A wide view makes the near plane the closest to a centre on the axis.
    Frustum frustum;
    frustum.SetFOV(150.0f);
    Update(frustum);
    const float* nearPlane = frustum.GetPlane(4);
    const float inside[3] = {0.0f, 0.0f, -0.6f};
    const float outside[3] = {0.0f, 0.0f, 0.9f};
    const float sIn = PlaneValue(nearPlane, inside);
    const float sOut = PlaneValue(nearPlane, outside);
    ASSERT_GT(sIn, 0.0f);
    ASSERT_LT(sOut, 0.0f);
    struct {
        const float* centre;
        float radius;
        int expected;
    } cases[] = {
        {inside, sIn, INTERSECT_INSIDE},  // s = r: inside that plane
        {inside, std::nextafter(sIn, 1.0f), INTERSECT_OVERLAP},
        {outside, -sOut, INTERSECT_OVERLAP},  // s + r = 0: touching
        {outside, std::nextafter(-sOut, 0.0f), INTERSECT_DISJOINT},
    };
    for (const auto& c : cases) {
        const Sphere sphere(c.centre, c.radius);
        EXPECT_EQ(frustum.IntersectSphere(sphere), c.expected) << c.centre[2] << " " << c.radius;
    }
}

TEST(Frustum, FieldOfViewConversions) {
    const float horizontal = HorizontalFovFromVertical(45.0f, 1.333f);
    EXPECT_NEAR(horizontal, 57.81f, 0.01f);
    EXPECT_NEAR(VerticalFovFromHorizontal(horizontal, 1.333f), 45.0f, 1e-4f);
    EXPECT_NEAR(HorizontalFovFromVertical(90.0f, 1.0f), 90.0f, 1e-4f);
}

}  // namespace
