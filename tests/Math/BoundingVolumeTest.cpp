#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "Math/AABB.h"
#include "Math/Frustum.h"
#include "Math/MathUtil.h"
#include "Math/OBB.h"
#include "Math/Quaternion.h"
#include "Math/Ray.h"
#include "Math/Sphere.h"
#include "Render/RenderSystem.h"

namespace {

using namespace Zel;

std::unique_ptr<Sphere> MakeSphere(float x, float y, float z, float r) {
    const float c[3] = {x, y, z};
    return std::make_unique<Sphere>(c, r);
}

std::unique_ptr<AABB> MakeBox(float x0, float y0, float z0, float x1, float y1, float z1) {
    const float lo[3] = {x0, y0, z0};
    const float hi[3] = {x1, y1, z1};
    return std::make_unique<AABB>(lo, hi);
}

std::unique_ptr<OBB> MakeOBB(const float* centre, float ex, float ey, float ez,
                             float turnDegrees = 0.0f) {
    auto box = std::make_unique<OBB>();
    box->SetCenter(centre);
    const float e[3] = {ex, ey, ez};
    box->SetExtents(e);
    if (turnDegrees != 0.0f) {
        // Turned about z: Y and X rotate in the xy plane.
        const float a = turnDegrees * DEG_TO_RAD;
        const float first[3] = {-std::sin(a), std::cos(a), 0.0f};
        const float second[3] = {std::cos(a), std::sin(a), 0.0f};
        box->SetAxes(first, second);
    }
    return box;
}

std::unique_ptr<OBB> MakeOBB(float x, float y, float z, float ex, float ey, float ez,
                             float turnDegrees = 0.0f) {
    const float c[3] = {x, y, z};
    return MakeOBB(c, ex, ey, ez, turnDegrees);
}

// A frustum at the origin looking down -z with the defaults (45 degrees, 0.1 to 1000).
std::unique_ptr<Frustum> MakeFrustum() {
    auto frustum = std::make_unique<Frustum>();
    RenderSystem renderSystem;
    const float position[3] = {0.0f, 0.0f, 0.0f};
    const float orientation[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    frustum->Update(position, orientation, &renderSystem);
    return frustum;
}

// A volume of the reserved kind 3: its own tests answer fixed values so the reversal shows.
class Kind3Volume : public BoundingVolume {
public:
    int GetKind() const override { return BV_KIND3; }
    int IntersectSphere(const Sphere&) const override { return INTERSECT_INSIDE; }
    int IntersectAABB(const AABB&) const override { return INTERSECT_INSIDE; }
    int IntersectOBB(const OBB&) const override { return INTERSECT_INSIDE; }
    int IntersectKind3(const BoundingVolume&) const override { return INTERSECT_INSIDE; }
    int IntersectRay(const Ray&) const override { return RAY_MISS; }
    bool ContainsPoint(const float*) const override { return false; }
};

struct DispatchCase {
    const char* name;
    std::function<std::unique_ptr<BoundingVolume>()> self;
    std::function<std::unique_ptr<BoundingVolume>()> other;
    int expected;
};

// The diagonal direction (1, 1, 1) / sqrt(3) scaled to length d.
float Diag(float d) {
    return d / std::sqrt(3.0f);
}

TEST(BoundingVolume, DispatchTable) {
    const DispatchCase cases[] = {
        // Sphere as this.
        {"sphere-sphere inside", [] { return MakeSphere(0, 0, 0, 2); },
         [] { return MakeSphere(0.5f, 0, 0, 1); }, INTERSECT_INSIDE},
        {"sphere-sphere enclosed", [] { return MakeSphere(0.5f, 0, 0, 1); },
         [] { return MakeSphere(0, 0, 0, 2); }, INTERSECT_ENCLOSED},
        {"sphere-sphere equal", [] { return MakeSphere(1, 2, 3, 1); },
         [] { return MakeSphere(1, 2, 3, 1); }, INTERSECT_ENCLOSED},
        {"sphere-sphere touching", [] { return MakeSphere(0, 0, 0, 1); },
         [] { return MakeSphere(2, 0, 0, 1); }, INTERSECT_OVERLAP},
        {"sphere-sphere apart", [] { return MakeSphere(0, 0, 0, 1); },
         [] { return MakeSphere(2.0001f, 0, 0, 1); }, INTERSECT_DISJOINT},
        {"sphere-box holds box", [] { return MakeSphere(0, 0, 0, 100); },
         [] { return MakeBox(-5, -5, -5, 5, 5, 5); }, INTERSECT_INSIDE},
        {"sphere-box in box", [] { return MakeSphere(0, 0, 0, 1); },
         [] { return MakeBox(-5, -5, -5, 5, 5, 5); }, INTERSECT_ENCLOSED},
        {"sphere-box apart", [] { return MakeSphere(0, 0, 0, 1); },
         [] { return MakeBox(2, 2, 2, 3, 3, 3); }, INTERSECT_DISJOINT},
        {"sphere-obb in obb", [] { return MakeSphere(0, 0, 0, 0.5f); },
         [] { return MakeOBB(0, 0, 0, 1, 1, 1, 30); }, INTERSECT_ENCLOSED},
        {"sphere-obb holds obb", [] { return MakeSphere(0, 0, 0, 2); },
         [] { return MakeOBB(0, 0, 0, 1, 1, 1, 30); }, INTERSECT_INSIDE},
        {"sphere-frustum", [] { return MakeSphere(0, 0, -5, 1); }, [] { return MakeFrustum(); },
         INTERSECT_OVERLAP},
        {"sphere-kind3", [] { return MakeSphere(0, 0, 0, 1); },
         [] { return std::make_unique<Kind3Volume>(); }, INTERSECT_ENCLOSED},
        // AABB as this.
        {"box-sphere inside", [] { return MakeBox(-5, -5, -5, 5, 5, 5); },
         [] { return MakeSphere(1, 1, 1, 1); }, INTERSECT_INSIDE},
        {"box-sphere enclosed", [] { return MakeBox(-5, -5, -5, 5, 5, 5); },
         [] { return MakeSphere(0, 0, 0, 100); }, INTERSECT_ENCLOSED},
        {"box-sphere overlap", [] { return MakeBox(-1, -1, -1, 1, 1, 1); },
         [] { return MakeSphere(1.5f, 0, 0, 1); }, INTERSECT_OVERLAP},
        {"box-sphere near corner", [] { return MakeBox(-1, -1, -1, 1, 1, 1); },
         [] { return MakeSphere(1.6f, 1.6f, 1.6f, 1); }, INTERSECT_DISJOINT},
        {"box-box self", [] { return MakeBox(0, 0, 0, 1, 1, 1); },
         [] { return MakeBox(0, 0, 0, 1, 1, 1); }, INTERSECT_INSIDE},
        {"box-box shared face", [] { return MakeBox(0, 0, 0, 1, 1, 1); },
         [] { return MakeBox(1, 0, 0, 2, 1, 1); }, INTERSECT_OVERLAP},
        {"box-box enclosed", [] { return MakeBox(0, 0, 0, 1, 1, 1); },
         [] { return MakeBox(-1, -1, -1, 2, 2, 2); }, INTERSECT_ENCLOSED},
        {"box-box apart", [] { return MakeBox(0, 0, 0, 1, 1, 1); },
         [] { return MakeBox(0, 1.01f, 0, 1, 2, 1); }, INTERSECT_DISJOINT},
        {"box-obb overlap", [] { return MakeBox(-1, -1, -1, 1, 1, 1); },
         [] { return MakeOBB(0, 0, 0, 0.1f, 0.1f, 0.1f, 45); }, INTERSECT_OVERLAP},
        {"box-obb apart", [] { return MakeBox(-1, -1, -1, 1, 1, 1); },
         [] { return MakeOBB(2.5f, 0, 0, 1, 1, 1, 45); }, INTERSECT_DISJOINT},
        {"box-frustum", [] { return MakeBox(-1, -1, -6, 1, 1, -4); }, [] { return MakeFrustum(); },
         INTERSECT_OVERLAP},
        {"box-kind3", [] { return MakeBox(0, 0, 0, 1, 1, 1); },
         [] { return std::make_unique<Kind3Volume>(); }, INTERSECT_ENCLOSED},
        // OBB as this. The default box has half extents (1, 1, 1); a sphere of radius 0.5
        // centred 1.6 along the diagonal has its centre inside the box.
        {"obb-sphere diagonal", [] { return std::make_unique<OBB>(); },
         [] { return MakeSphere(Diag(1.6f), Diag(1.6f), Diag(1.6f), 0.5f); }, INTERSECT_OVERLAP},
        {"obb-sphere inside", [] { return MakeOBB(0, 0, 0, 2, 2, 2, 20); },
         [] { return MakeSphere(0.5f, 0, 0, 1); }, INTERSECT_INSIDE},
        {"obb-sphere enclosed", [] { return std::make_unique<OBB>(); },
         [] { return MakeSphere(0.1f, 0, 0, 1.9f); }, INTERSECT_ENCLOSED},
        {"obb-sphere apart", [] { return MakeOBB(0, 0, 0, 1, 1, 1, 45); },
         [] { return MakeSphere(3, 0, 0, 1); }, INTERSECT_DISJOINT},
        // The centres are 2.08 apart, beyond the largest half extents' sum 1.5 but well within
        // the half diagonals' 2.6: the boxes share the cube 0.7..1.
        {"obb-box diagonal", [] { return std::make_unique<OBB>(); },
         [] { return MakeBox(0.7f, 0.7f, 0.7f, 1.7f, 1.7f, 1.7f); }, INTERSECT_OVERLAP},
        {"obb-box apart", [] { return MakeOBB(0, 0, 0, 1, 1, 1, 45); },
         [] { return MakeBox(1.5f, -0.1f, -0.1f, 2, 0.1f, 0.1f); }, INTERSECT_DISJOINT},
        {"obb-box empty", [] { return std::make_unique<OBB>(); },
         [] { return std::make_unique<AABB>(); }, INTERSECT_DISJOINT},
        {"obb-box holds box", [] { return MakeOBB(0, 0, 0, 5, 5, 5, 10); },
         [] { return MakeBox(0, 0, 0, 1, 1, 1); }, INTERSECT_OVERLAP},
        {"obb-obb diagonal", [] { return std::make_unique<OBB>(); },
         [] { return MakeOBB(1.2f, 1.2f, 1.2f, 0.5f, 0.5f, 0.5f, 5); }, INTERSECT_OVERLAP},
        {"obb-obb apart on a cross axis", [] { return MakeOBB(0, 0, 0, 1, 1, 1, 45); },
         [] { return MakeOBB(2.9f, 0, 0, 1, 1, 1, 45); }, INTERSECT_DISJOINT},
        {"obb-frustum", [] { return std::make_unique<OBB>(); }, [] { return MakeFrustum(); },
         INTERSECT_OVERLAP},
        {"obb-kind3", [] { return std::make_unique<OBB>(); },
         [] { return std::make_unique<Kind3Volume>(); }, INTERSECT_DISJOINT},
        // Frustum as this.
        {"frustum-sphere inside", [] { return MakeFrustum(); },
         [] { return MakeSphere(0, 0, -10, 1); }, INTERSECT_INSIDE},
        {"frustum-sphere behind", [] { return MakeFrustum(); },
         [] { return MakeSphere(0, 0, 10, 1); }, INTERSECT_DISJOINT},
        {"frustum-sphere straddles", [] { return MakeFrustum(); },
         [] { return MakeSphere(0, 0, 0, 1); }, INTERSECT_OVERLAP},
        {"frustum-box inside", [] { return MakeFrustum(); },
         [] { return MakeBox(-1, -1, -11, 1, 1, -9); }, INTERSECT_INSIDE},
        {"frustum-box behind", [] { return MakeFrustum(); },
         [] { return MakeBox(-1, -1, 1, 1, 1, 2); }, INTERSECT_DISJOINT},
        {"frustum-box straddles", [] { return MakeFrustum(); },
         [] { return MakeBox(-1, -1, -1, 1, 1, 1); }, INTERSECT_OVERLAP},
        {"frustum-obb", [] { return MakeFrustum(); }, [] { return MakeOBB(0, 0, 9, 1, 1, 1); },
         INTERSECT_OVERLAP},
        {"frustum-frustum", [] { return MakeFrustum(); }, [] { return MakeFrustum(); },
         INTERSECT_OVERLAP},
        {"frustum-kind3", [] { return MakeFrustum(); },
         [] { return std::make_unique<Kind3Volume>(); }, INTERSECT_OVERLAP},
    };
    for (const auto& c : cases) {
        const auto self = c.self();
        const auto other = c.other();
        EXPECT_EQ(self->Intersect(*other), c.expected) << c.name;
    }
}

TEST(BoundingVolume, KindsAndFrustumConstants) {
    const auto frustum = MakeFrustum();
    EXPECT_EQ(Sphere().GetKind(), 0);
    EXPECT_EQ(AABB().GetKind(), 1);
    EXPECT_EQ(OBB().GetKind(), 2);
    EXPECT_EQ(frustum->GetKind(), 4);
    EXPECT_EQ(frustum->GetFrustumType(), 3);
    const float origin[3] = {0, 0, -5};
    const float forward[3] = {0, 0, -1};
    EXPECT_EQ(frustum->IntersectRay(Ray(origin, forward)), RAY_MISS);
    EXPECT_FALSE(frustum->ContainsPoint(origin));
}

TEST(Sphere, RayTests) {
    const auto sphere = MakeSphere(0, 0, -10, 1);
    struct {
        float origin[3];
        float direction[3];
        int expected;
    } cases[] = {
        {{0, 0, -10.5f}, {1, 0, 0}, RAY_ORIGIN_INSIDE},
        {{0, 0, 0}, {0, 0, -1}, RAY_HIT},
        {{0, 0, 0}, {0, 0, 1}, RAY_MISS},
        {{0, 0.99f, 0}, {0, 0, -1}, RAY_HIT},
        {{0, 1.01f, 0}, {0, 0, -1}, RAY_MISS},
        {{0, 0, 0}, {1, 0, 0}, RAY_MISS},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sphere->IntersectRay(Ray(c.origin, c.direction)), c.expected)
            << c.origin[1] << " " << c.direction[2];
    }
    const float surface[3] = {0, 1, -10};
    EXPECT_TRUE(sphere->ContainsPoint(surface));
}

TEST(AABB, MergeIntoAFreshBoxReplacesTheDefault) {
    AABB box;
    EXPECT_TRUE(box.IsEmpty());
    box.Merge(*MakeBox(2, 2, 2, 3, 3, 3));
    EXPECT_FALSE(box.IsEmpty());
    EXPECT_EQ(box.GetMin()[0], 2.0f);
    EXPECT_EQ(box.GetMax()[2], 3.0f);
    box.Merge(*MakeBox(-1, 2.5f, 2.5f, 2.5f, 4, 2.5f));
    EXPECT_EQ(box.GetMin()[0], -1.0f);
    EXPECT_EQ(box.GetMax()[1], 4.0f);
    EXPECT_EQ(box.GetMax()[2], 3.0f);

    AABB points;
    points.ExtendByPoint(1, 2, 3);
    EXPECT_EQ(points.GetMin()[1], 2.0f);
    EXPECT_EQ(points.GetMax()[1], 2.0f);
    const float p[3] = {0, 5, 3};
    points.MergePoint(p);
    EXPECT_EQ(points.GetMin()[0], 0.0f);
    EXPECT_EQ(points.GetMax()[1], 5.0f);
    float centre[3];
    points.GetCenter(centre);
    EXPECT_EQ(centre[1], 3.5f);
}

TEST(AABB, CornersFollowTheBitOrderAndRefreshAfterChanges) {
    auto box = MakeBox(0, 0, 0, 1, 2, 3);
    const float* corners = box->GetCorners();
    EXPECT_EQ(corners[3 * 0 + 0], 0.0f);
    EXPECT_EQ(corners[3 * 1 + 2], 3.0f);  // bit 0: z
    EXPECT_EQ(corners[3 * 2 + 1], 2.0f);  // bit 1: y
    EXPECT_EQ(corners[3 * 4 + 0], 1.0f);  // bit 2: x
    box->ExtendByPoint(5, 0, 0);
    EXPECT_EQ(box->GetCorners()[3 * 4 + 0], 5.0f);

    AABB copy;
    copy.Assign(*box);
    EXPECT_FALSE(copy.IsEmpty());
    EXPECT_EQ(copy.GetCorners()[3 * 7 + 0], 5.0f);
}

TEST(AABB, TransformTranslatesAndMapsCornersWithZeroWToTheOrigin) {
    auto box = MakeBox(-1, -2, -3, 1, 2, 3);
    const float translate[16] = {1, 0, 0, 10, 0, 1, 0, 20, 0, 0, 1, 30, 0, 0, 0, 1};
    box->Transform(translate);
    EXPECT_EQ(box->GetMin()[0], 9.0f);
    EXPECT_EQ(box->GetMax()[1], 22.0f);
    EXPECT_EQ(box->GetMax()[2], 33.0f);

    // w = x + 0.5: the x = -0.5 corners have w = 0 and go to the origin.
    auto unit = MakeBox(-0.5f, -0.5f, -0.5f, 0.5f, 0.5f, 0.5f);
    const float projective[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0.5f};
    unit->Transform(projective);
    EXPECT_EQ(unit->GetMin()[0], 0.0f);
    EXPECT_EQ(unit->GetMax()[0], 0.5f);
    EXPECT_EQ(unit->GetMin()[1], -0.5f);

    // w = 2 everywhere halves the box.
    auto halved = MakeBox(-1, -1, -1, 1, 1, 1);
    const float scaleW[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2};
    halved->Transform(scaleW);
    EXPECT_EQ(halved->GetMax()[0], 0.5f);
}

// The ray is input only: the hit point and distance come back through the outputs, which are
// written only on a hit, so a caller keeps its ray for further tests.
TEST(AABB, RayTestWritesTheHitToTheOutputsAndLeavesTheRayAlone) {
    auto box = MakeBox(-1, -1, -1, 1, 1, 1);
    const float origin[3] = {-5, 0.5f, 0};
    const float direction[3] = {1, 0, 0};
    const Ray ray(origin, direction);
    float point[3] = {7, 7, 7};
    float t = 7;
    EXPECT_EQ(box->IntersectRay(ray, point, &t), RAY_HIT);
    EXPECT_EQ(t, 4.0f);
    EXPECT_EQ(point[0], -1.0f);
    EXPECT_EQ(point[1], 0.5f);
    EXPECT_EQ(ray.origin[0], -5.0f);
    EXPECT_EQ(box->IntersectRay(ray), RAY_HIT);

    struct {
        float origin[3];
        float direction[3];
        int expected;
    } untouched[] = {
        {{0, 0, 0}, {1, 0, 0}, RAY_ORIGIN_INSIDE},
        {{-5, 0, 0}, {-1, 0, 0}, RAY_MISS},
        {{-5, 3, 0}, {1, 0, 0}, RAY_MISS},
        {{-5, 0, 0}, {0, 0, 0}, RAY_MISS},
    };
    for (const auto& c : untouched) {
        float p[3] = {7, 7, 7};
        float tt = 7;
        EXPECT_EQ(box->IntersectRay(Ray(c.origin, c.direction), p, &tt), c.expected);
        EXPECT_EQ(p[0], 7.0f);
        EXPECT_EQ(tt, 7.0f);
    }
}

TEST(OBB, ConstructorAxesAreAFullFrame) {
    OBB box;
    EXPECT_EQ(box.GetAxisZ()[2], 1.0f);
    const float p[3] = {0.5f, 0.5f, 0.9f};
    EXPECT_TRUE(box.ContainsPoint(p));
    const float out[3] = {0.5f, 0.5f, 1.5f};
    EXPECT_FALSE(box.ContainsPoint(out));
}

TEST(OBB, SetAxesBuildsAnOrthonormalRightHandedFrame) {
    OBB box;
    const float first[3] = {0, 2, 0};
    const float second[3] = {1, 1, 0};
    box.SetAxes(first, second);
    EXPECT_NEAR(box.GetAxisY()[1], 1.0f, 1e-6f);
    EXPECT_NEAR(box.GetAxisX()[0], 1.0f, 1e-6f);
    EXPECT_NEAR(box.GetAxisX()[1], 0.0f, 1e-6f);
    EXPECT_NEAR(box.GetAxisZ()[2], 1.0f, 1e-6f);
    const float p[3] = {3, 4, 5};
    float local[3];
    box.ToLocal(local, p);
    EXPECT_NEAR(local[0], 3.0f, 1e-5f);
    EXPECT_NEAR(local[1], 4.0f, 1e-5f);
    EXPECT_NEAR(local[2], 5.0f, 1e-5f);
}

// The tolerance boundary belongs to the box: decal clipping leaves points exactly there.
TEST(OBB, ContainsLocalPointIncludesTheToleranceBoundary) {
    OBB box;
    const float e[3] = {0.5f, 0.5f, 0.5f};
    box.SetExtents(e);
    const float boundary = 0.5f + 0.01f;
    ASSERT_EQ(boundary - 0.01f, 0.5f);
    const float cases[][3] = {{boundary, 0, 0}, {0, -boundary, 0}, {0.505f, 0.505f, -0.505f}};
    for (const auto& p : cases) {
        EXPECT_TRUE(box.ContainsLocalPoint(p)) << p[0] << " " << p[1] << " " << p[2];
    }
    const float outside[3] = {0, 0, 0.52f};
    EXPECT_FALSE(box.ContainsLocalPoint(outside));
    const float notANumber[3] = {std::nanf(""), 0, 0};
    EXPECT_FALSE(box.ContainsLocalPoint(notANumber));
}

TEST(OBB, RayNearACornerHitsWithinTheHalfDiagonal) {
    // 1.27 from the centre line: beyond the largest half extent 1, within the half diagonal 1.73.
    OBB box;
    const float origin[3] = {-5, 0.9f, 0.9f};
    const float direction[3] = {1, 0, 0};
    float point[3];
    float t = 0;
    EXPECT_EQ(box.IntersectRay(Ray(origin, direction), point, &t), RAY_HIT);
    EXPECT_FLOAT_EQ(t, 4.0f);
    EXPECT_FLOAT_EQ(point[0], -1.0f);
    EXPECT_EQ(box.IntersectRay(Ray(origin, direction)), RAY_HIT);
}

TEST(OBB, RayTests) {
    const auto box = MakeOBB(0, 0, 0, 1, 2, 3, 30);
    struct {
        float origin[3];
        float direction[3];
        int expected;
        float t;
    } cases[] = {
        {{0, 0, 10}, {0, 0, -1}, RAY_HIT, 7.0f},    {{0, 0, 0}, {0, 0, 1}, RAY_ORIGIN_INSIDE, 3.0f},
        {{0, 0, 10}, {0, 0, 1}, RAY_MISS, 0.0f},    {{0, 5, 10}, {0, 0, -1}, RAY_MISS, 0.0f},
        {{0, 1.5f, 10}, {0, 0, -1}, RAY_HIT, 7.0f},
    };
    for (const auto& c : cases) {
        float point[3];
        float t = 0.0f;
        EXPECT_EQ(box->IntersectRay(Ray(c.origin, c.direction), point, &t), c.expected)
            << c.origin[1] << " " << c.origin[2];
        if (c.expected != RAY_MISS) {
            EXPECT_NEAR(t, c.t, 1e-5f);
        }
    }
}

}  // namespace
