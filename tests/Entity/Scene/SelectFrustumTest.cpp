// Picking and rectangle selection: ray picks against a brute force over the entity's triangles in
// world space (front, back face, edge, miss, far, and random rays at a rotated, scaled entity),
// rectangles that return exactly the entities inside, the pick ray carried into an entity's local
// space, degenerate rectangles, segment clipping, user primitives and the result capacity.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "Entity/Scene/EntityOctreeNode.h"
#include "Entity/Scene/SelectFrustum.h"
#include "Render/RenderCodes.h"
#include "Render/RenderSystem.h"
#include "tests/Entity/Scene/PickingFixture.h"

namespace {

using namespace Zel;
using ZelTest::Soup;

// Without a render system the viewport is 800 x 600.
constexpr float kW = 800.0f, kH = 600.0f;

class SelectFrustumTest : public ZelTest::PickingTest {
protected:
    // A camera at eye looking along direction; the viewport centre's pick ray is then exactly
    // (eye, direction).
    void LookAlong(const float* eye, const float* direction, float farClip = 1e6f) {
        const float target[3] = {eye[0] + direction[0], eye[1] + direction[1],
                                 eye[2] + direction[2]};
        const float up0[3] = {0, 1, 0}, up1[3] = {1, 0, 0};
        const bool alongY = std::fabs(direction[1]) > 0.9f * std::sqrt(Dot3(direction, direction));
        float view[16], projection[16];
        maths_.MakeLookAtMatrix(eye, target, alongY ? up1 : up0, view);
        maths_.MakePerspectiveMatrix(45.0f, kW / kH, 0.01f, farClip, projection);
        Scene().SetViewMatrix(view);
        Scene().SetProjectionMatrix(projection);
    }

    // Ray mode at the viewport centre over the entities; the values hit (index in the list).
    std::vector<std::uint32_t> PickCentre(const std::vector<Entity*>& entities) {
        select_.BeginSelection(400, 300, 400, 300, true);
        for (std::uint32_t i = 0; i < entities.size(); ++i) select_.TestObject(entities[i], i);
        lastNearest_ = select_.GetNearest();
        std::uint32_t out[8];
        const std::uint32_t n = select_.EndSelection(out, 8);
        return {out, out + n};
    }

    std::vector<std::uint32_t> SelectRect(const std::vector<Entity*>& entities, int x0, int y0,
                                          int x1, int y1) {
        select_.BeginSelection(x0, y0, x1, y1, false);
        for (std::uint32_t i = 0; i < entities.size(); ++i) select_.TestObject(entities[i], i);
        std::vector<std::uint32_t> out(64);
        out.resize(select_.EndSelection(out.data(), 64));
        return out;
    }

    // Pixel (top-left origin) of a world point under the scene's current matrices.
    void ToPixel(const float* p, float& x, float& y) {
        float m[16];
        std::copy_n(Scene().GetViewProjectionMatrix(), 16, m);
        float c[4];
        for (int r = 0; r < 4; ++r)
            c[r] = m[4 * r] * p[0] + m[4 * r + 1] * p[1] + m[4 * r + 2] * p[2] + m[4 * r + 3];
        x = (c[0] / c[3] + 1.0f) * 0.5f * kW;
        y = (1.0f - c[1] / c[3]) * 0.5f * kH;
    }

    RenderSystem maths_{nullptr};
    SelectFrustum select_;
    float lastNearest_ = 0.0f;
};

// The two triangles of the unit square in z = 0, front faces towards +z, and the entity's
// placement that every table ray is carried through.
Soup UnitSquare() {
    return Soup{{0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, {0, 1, 2, 1, 3, 2}};
}

TEST_F(SelectFrustumTest, TheNearestHitEqualsBruteForceOverARayTable) {
    const Soup square = UnitSquare();
    Entity& entity = MakeSoupEntity(square);
    const float position[3] = {3, -2, 1};
    const float half = 0.2617994f;  // 30 degrees about x
    const float rotation[4] = {std::sin(half), 0, 0, std::cos(half)};
    Place(entity, position, rotation, 2.0f);
    const float* world = entity.GetWorldMatrix();

    struct Case {
        const char* what;
        float origin[3];  // local
        float direction[3];
        bool hits;
    };
    const Case cases[] = {
        {"front", {0.25f, 0.25f, 3}, {0, 0, -1}, true},
        {"back face", {0.25f, 0.25f, -3}, {0, 0, 1}, false},
        {"shared edge", {0.5f, 0.5f, 3}, {0, 0, -1}, true},
        {"slanted front", {-1, -1, 2}, {0.6f, 0.6f, -1}, true},
        {"miss beside", {3, 3, 3}, {0, 0, -1}, false},
        {"pointing away", {0.25f, 0.25f, 3}, {0, 0, 1}, false},
        {"far", {0.75f, 0.5f, 5000}, {0, 0, -1}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        float origin[3], through[3], direction[3];
        const float ahead[3] = {c.origin[0] + c.direction[0], c.origin[1] + c.direction[1],
                                c.origin[2] + c.direction[2]};
        ZelTest::ToWorld(world, c.origin, origin);
        ZelTest::ToWorld(world, ahead, through);
        for (int a = 0; a < 3; ++a) direction[a] = through[a] - origin[a];
        LookAlong(origin, direction);
        const std::vector<std::uint32_t> got = PickCentre({&entity});
        const float want = ZelTest::BruteForceDistance(entity, square, Ray(origin, direction));
        EXPECT_EQ(want >= 0.0f, c.hits) << "the reference itself";
        ASSERT_EQ(got.size(), c.hits ? 1u : 0u);
        if (c.hits) {
            EXPECT_NEAR(lastNearest_, want, 1e-4f * std::max(1.0f, want));
        }
    }
}

TEST_F(SelectFrustumTest, RandomRaysAtARotatedScaledSoupMatchBruteForce) {
    const Soup soup = ZelTest::RandomSoup(400, 4.0f, 5);
    Entity& entity = MakeSoupEntity(soup);
    const float position[3] = {-6, 2, 3};
    const float n = 1.0f / std::sqrt(3.0f), half = 0.6f;
    const float rotation[4] = {n * std::sin(half), n * std::sin(half), n * std::sin(half),
                               std::cos(half)};
    Place(entity, position, rotation, 1.5f);
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    int hits = 0;
    for (int i = 0; i < 150; ++i) {
        SCOPED_TRACE(i);
        // From a sphere of radius 20 about the entity towards a point near its centre.
        float origin[3], direction[3];
        for (int a = 0; a < 3; ++a) {
            origin[a] = u(rng);
            direction[a] = u(rng) * 3.0f;
        }
        NormalizeVector3(origin);
        for (int a = 0; a < 3; ++a) {
            origin[a] = position[a] + 20.0f * origin[a];
            direction[a] += position[a] - origin[a];
        }
        LookAlong(origin, direction);
        const std::vector<std::uint32_t> got = PickCentre({&entity});
        const float want = ZelTest::BruteForceDistance(entity, soup, Ray(origin, direction));
        ASSERT_EQ(got.size(), want >= 0.0f ? 1u : 0u);
        if (want >= 0.0f) {
            ++hits;
            EXPECT_NEAR(lastNearest_, want, 1e-3f);
        }
    }
    EXPECT_GT(hits, 20) << "the table must reach the soup";
}

TEST_F(SelectFrustumTest, RayModeKeepsTheNearestEntityOnly) {
    const Soup square = UnitSquare();
    Entity& nearer = MakeSoupEntity(square);
    Entity& farther = MakeSoupEntity(square);
    const float identity[4] = {0, 0, 0, 1};
    const float p0[3] = {-0.5f, -0.5f, 0}, p1[3] = {-0.5f, -0.5f, -5};
    Place(nearer, p0, identity);
    Place(farther, p1, identity);
    const float eye[3] = {0, 0, 10}, down[3] = {0, 0, -1};
    LookAlong(eye, down);
    // Either order of offering: the nearer one wins.
    EXPECT_EQ(PickCentre({&farther, &nearer}), (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(PickCentre({&nearer, &farther}), (std::vector<std::uint32_t>{0}));
    EXPECT_FLOAT_EQ(lastNearest_, 10.0f);
}

// A 5 x 5 grid of unit squares centred at x, y in {-8, -4, 0, 4, 8}, each turned about z and its
// own normal so that the selection runs in each entity's local space.
class SelectionGridTest : public SelectFrustumTest {
protected:
    void SetUp() override {
        SelectFrustumTest::SetUp();
        const Soup square = UnitSquare();
        for (int j = 0; j < 5; ++j) {
            for (int i = 0; i < 5; ++i) {
                Entity& e = MakeSoupEntity(square);
                const float angle = 0.3f * float(i + 5 * j);
                const float rotation[4] = {0, 0, std::sin(angle / 2), std::cos(angle / 2)};
                const float position[3] = {-8.0f + 4.0f * float(i), -8.0f + 4.0f * float(j), 0};
                Place(e, position, rotation);
                grid_.push_back(&e);
            }
        }
        const float eye[3] = {0, 0, 30}, down[3] = {0, 0, -1};
        LookAlong(eye, down, 1000.0f);
    }
    std::vector<Entity*> grid_;
};

TEST_F(SelectionGridTest, ARectangleReturnsEveryEntityInsideAndNothingElse) {
    struct Case {
        const char* what;
        float x0, y0, x1, y1;  // world corners, on the gaps between the squares
        std::set<std::uint32_t> want;
    };
    const Case cases[] = {
        {"one square", -2, -2, 2, 2, {12}},
        {"a block of four", -2, -2, 6, 6, {12, 13, 17, 18}},
        {"the top row", -10, 6, 10, 10, {20, 21, 22, 23, 24}},
        {"a gap only", 2.2f, 2.2f, 3.8f, 3.8f, {}},
        {"drawn from bottom-right to top-left", 6, 6, -2, -2, {12, 13, 17, 18}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const float a[3] = {c.x0, c.y0, 0}, b[3] = {c.x1, c.y1, 0};
        float ax, ay, bx, by;
        ToPixel(a, ax, ay);
        ToPixel(b, bx, by);
        const std::vector<std::uint32_t> got =
            SelectRect(grid_, int(std::lround(ax)), int(std::lround(ay)), int(std::lround(bx)),
                       int(std::lround(by)));
        EXPECT_EQ(std::set<std::uint32_t>(got.begin(), got.end()), c.want);
        EXPECT_EQ(got.size(), c.want.size()) << "each value once";
    }
}

TEST_F(SelectionGridTest, ADegenerateRectangleIsWidenedToOnePixel) {
    // The pixel under the middle square's centre, as a point and as lines of no width.
    const float local[3] = {0.5f, 0.5f, 0.0f};
    float centre[3], x, y;
    ZelTest::ToWorld(grid_[12]->GetWorldMatrix(), local, centre);
    ToPixel(centre, x, y);
    const int px = int(x), py = int(y);
    for (const auto& r :
         {std::array<int, 4>{px, py, px, py}, std::array<int, 4>{px, py - 3, px, py + 3},
          std::array<int, 4>{px - 3, py, px + 3, py}}) {
        EXPECT_EQ(SelectRect(grid_, r[0], r[1], r[2], r[3]), (std::vector<std::uint32_t>{12}));
        for (int i = 0; i < 6; ++i)
            for (int k = 0; k < 4; ++k) EXPECT_TRUE(std::isfinite(select_.GetPlane(i)[k]));
    }
}

TEST_F(SelectionGridTest, EndSelectionCopiesAtMostTheCapacityAndClosesThePass) {
    select_.BeginSelection(0, 0, 800, 600, false);
    for (std::uint32_t i = 0; i < grid_.size(); ++i) select_.TestObject(grid_[i], i);
    std::uint32_t out[4] = {};
    EXPECT_EQ(select_.EndSelection(out, 3), 3u);
    EXPECT_FALSE(select_.IsSelecting());
    EXPECT_EQ(select_.EndSelection(out, 4), 0u) << "no pass open";
    select_.TestObject(grid_[12], 99);
    EXPECT_TRUE(select_.GetResultList().empty()) << "tests outside a pass do nothing";
}

TEST_F(SelectFrustumTest, TheRectangleTestMeetsLocalTrianglesWithTheRayInLocalSpace) {
    // One big triangle whose corners and edges all lie outside a small rectangle at the
    // viewport centre: only the pick ray finds it. The entity sits at x = 100, its triangle at
    // local x = -100, so world and local rays part.
    struct Case {
        const char* what;
        bool flipWinding;  // seen from behind: rectangle mode tries both windings
    };
    for (const Case& c : {Case{"front", false}, Case{"back", true}}) {
        SCOPED_TRACE(c.what);
        Soup big{{-150, -50, 0, -50, -50, 0, -100, 50, 0}, {0, 1, 2}};
        if (c.flipWinding)
            std::swap(big.indices[1], big.indices[2]);
        Entity& entity = MakeSoupEntity(big);
        const float position[3] = {100, 0, 0}, identity[4] = {0, 0, 0, 1};
        Place(entity, position, identity);
        const float eye[3] = {0, 0, 10}, down[3] = {0, 0, -1};
        LookAlong(eye, down);
        EXPECT_EQ(SelectRect({&entity}, 395, 295, 405, 305), (std::vector<std::uint32_t>{0}));
        EXPECT_EQ(SelectRect({&entity}, 0, 0, 10, 10), (std::vector<std::uint32_t>{0}))
            << "a corner of the screen is inside the big triangle too";
    }
}

TEST_F(SelectFrustumTest, SegmentsClipAgainstTheNarrowedFrustum) {
    const float eye[3] = {0, 0, 10}, down[3] = {0, 0, -1};
    LookAlong(eye, down, 100.0f);
    select_.BeginSelection(300, 200, 500, 400, false);
    // The corners follow the narrowed matrices: the near rectangle is centred on the view axis.
    float nearCentre[3] = {0, 0, 0};
    for (int k = 0; k < 4; ++k)
        for (int a = 0; a < 3; ++a) nearCentre[a] += select_.GetCorners()[3 * k + a] / 4;
    EXPECT_NEAR(nearCentre[0], 0.0f, 1e-3f);
    EXPECT_NEAR(nearCentre[1], 0.0f, 1e-3f);
    EXPECT_NEAR(nearCentre[2], 10.0f - 0.01f, 1e-3f);
    struct Case {
        const char* what;
        float p[3], q[3];
        int answer;
    };
    const Case cases[] = {
        {"inside", {0.1f, 0, 0}, {-0.1f, 0, 5}, 0},
        {"both left of the left plane", {-50, 0, 0}, {-60, 1, 0}, 1},
        {"both behind the eye", {0, 0, 20}, {0, 1, 30}, 1},
        {"crossing from inside", {0, 0, 0}, {50, 0, 0}, 2},
        {"crossing through", {-50, 0.1f, 0}, {50, -0.1f, 0}, 2},
        {"passing beside a corner", {-3, 0, 0}, {0, 3, 0}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        float out[3] = {NAN, NAN, NAN};
        EXPECT_EQ(select_.ClipSegment(c.p, c.q, out), c.answer);
        if (c.answer == 0) {
            EXPECT_EQ(out[2], 5.0f) << "the end nearer the pick ray's origin";
        }
        for (int i = 0; c.answer == 2 && i < 6; ++i) {
            const float* n = select_.GetPlane(i);
            EXPECT_GE(Dot3(n, out) + n[3], -1e-3f) << "plane " << i;
        }
    }
    select_.EndSelection(nullptr, 0);
}

TEST_F(SelectFrustumTest, UserPrimitivesAreTestedUnderThePickId) {
    const float eye[3] = {0, 0, 10}, down[3] = {0, 0, -1};
    LookAlong(eye, down, 100.0f);
    // Positions with a fourth float each (16-byte stride).
    const float crossing[8] = {-50, 0, 0, 0, 50, 0, 0, 0};
    const float aside[12] = {-50, 40, 0, 0, -40, 40, 0, 0, -50, 50, 0, 0};
    const float bigTriangle[12] = {-100, -100, 0, 0, 100, -100, 0, 0, 0, 100, 0, 0};
    const std::uint16_t badIndices[3] = {0, 1, 7};
    struct Case {
        const char* what;
        std::uint32_t type;
        const float* positions;
        std::uint32_t vertices;
        const std::uint16_t* indices;
        bool selected;
    };
    const Case cases[] = {
        {"a line across", PT_LINE_LIST, crossing, 2, nullptr, true},
        {"a line strip across", PT_LINE_STRIP, crossing, 2, nullptr, true},
        {"a triangle aside", PT_TRIANGLE_LIST, aside, 3, nullptr, false},
        {"a triangle over the whole view", PT_TRIANGLE_LIST, bigTriangle, 3, nullptr, true},
        {"the same as a strip", PT_TRIANGLE_STRIP, bigTriangle, 3, nullptr, true},
        {"an index past the vertices", PT_TRIANGLE_LIST, bigTriangle, 3, badIndices, false},
        {"points around the view are taken untested", PT_POINT_LIST, bigTriangle, 3, nullptr, true},
        {"an unknown type", 7, bigTriangle, 3, nullptr, false},
    };
    for (bool rayMode : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.what << (rayMode ? " (ray)" : " (rectangle)"));
            select_.BeginSelection(390, 290, 410, 310, rayMode);
            select_.SetPickId(5);
            select_.DrawUserPrimitive(c.type, c.indices, c.positions, c.vertices, c.vertices, 16);
            select_.DrawUserPrimitive(c.type, c.indices, c.positions, c.vertices, c.vertices, 16);
            std::uint32_t out[4];
            const std::uint32_t n = select_.EndSelection(out, 4);
            ASSERT_EQ(n, c.selected ? 1u : 0u) << "a value is recorded once";
            if (n) {
                EXPECT_EQ(out[0], 5u);
            }
        }
    }
}

}  // namespace
