#include <gtest/gtest.h>

#include <vector>

#include "Physics/ClothNx.h"
#include "Physics/PhysicsDebugRenderer.h"
#include "PhysicsFixture.h"
#include "Render/RenderCodes.h"

using namespace Zel;
using ZelTest::BodyDesc;

namespace {

class SceneStepTest : public ZelTest::PhysicsTest {};

TEST_F(SceneStepTest, ClothStartupFlagFallsAfterOneSimulatedSecond) {
    SetClothStartupFlag(true);
    scene_->Step(0.5f);
    EXPECT_TRUE(IsClothStartupFlagSet());
    EXPECT_FLOAT_EQ(scene_->GetClothCountdown(), 0.5f);
    scene_->Step(0.5f);
    EXPECT_FALSE(IsClothStartupFlagSet());
    EXPECT_FLOAT_EQ(scene_->GetClothCountdown(), 1.0f);
    // Without the flag the countdown rests.
    scene_->Step(0.5f);
    EXPECT_FLOAT_EQ(scene_->GetClothCountdown(), 1.0f);
}

struct Draw {
    std::uint32_t primitive;
    std::uint32_t count;
    std::vector<PhysicsDebugVertex> vertices;
};

class RecordingTarget : public PhysicsDebugTarget {
public:
    bool Begin() override {
        ++begins;
        return true;
    }
    void Draw(std::uint32_t primitive, std::uint32_t count, const void* vertices,
              std::uint32_t stride) override {
        EXPECT_EQ(stride, 16u);
        const std::uint32_t per = primitive == PT_POINT_LIST  ? 1
                                  : primitive == PT_LINE_LIST ? 2
                                                              : 3;
        const auto* v = static_cast<const PhysicsDebugVertex*>(vertices);
        draws.push_back({primitive, count, std::vector<PhysicsDebugVertex>(v, v + per * count)});
    }
    void DrawWireframe(std::uint32_t vertexCount, std::uint32_t triangleCount, const std::uint32_t*,
                       const void*, std::uint32_t stride) override {
        EXPECT_EQ(stride, 32u);
        wireframes.push_back({vertexCount, triangleCount});
    }
    void End() override { ++ends; }

    int begins = 0;
    int ends = 0;
    std::vector<::Draw> draws;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> wireframes;
};

struct TargetScope {
    explicit TargetScope(PhysicsDebugTarget* t) { PhysicsDebugRenderer::SetTarget(t); }
    ~TargetScope() { PhysicsDebugRenderer::SetTarget(nullptr); }
};

TEST(PhysicsDebugRendererTest, EachKindIsOneListWithItsColours) {
    Nx::NxDebugRenderable r;
    r.points = {{{1, 2, 3}, 0xFF00FF00u}, {{4, 5, 6}, 1u}, {{7, 8, 9}, 2u}};
    r.triangles = {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 0xFFFF0000u},
                   {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}, 3u}};
    RecordingTarget target;
    TargetScope scope(&target);
    PhysicsDebugRenderer::Render(r);
    ASSERT_EQ(target.draws.size(), 2u);
    EXPECT_EQ(target.draws[0].primitive, PT_POINT_LIST);
    EXPECT_EQ(target.draws[0].count, 3u);
    EXPECT_EQ(target.draws[0].vertices[1].y, 5.0f);
    EXPECT_EQ(target.draws[0].vertices[0].color, 0xFF00FF00u);
    EXPECT_EQ(target.draws[1].primitive, PT_TRIANGLE_LIST);
    EXPECT_EQ(target.draws[1].count, 2u);
    EXPECT_EQ(target.draws[1].vertices[4].x, 1.0f);
    EXPECT_EQ(target.draws[1].vertices[5].color, 3u);
    EXPECT_GE(PhysicsDebugRenderer::GetScratchBytes(), 96u);
    EXPECT_EQ(target.begins, 1);
    EXPECT_EQ(target.ends, 1);
}

TEST_F(SceneStepTest, SceneDrawsBodiesAndClothWireframes) {
    RecordingTarget target;
    TargetScope scope(&target);
    scene_->DebugDraw();
    EXPECT_TRUE(target.draws.empty());  // nothing in the world yet

    ASSERT_NE(Make(BodyDesc(PHX_SHAPE_BOX, 0.5f, 0.5f, 0.5f, 0, 0, 0, 3)), nullptr);
    auto* cloth = static_cast<ClothNx*>(Make(BodyDesc(PHX_SHAPE_CLOTH, 1, 1, 0.5f, 0, 5, 0, 0)));
    ASSERT_NE(cloth, nullptr);
    Run(1);
    const Nx::NxDebugRenderable* r = scene_->GetNxScene()->getDebugRenderable();
    ASSERT_NE(r, nullptr);
    // A box's wireframe and bounds are 12 edges each; the cloth's 18 faces are triangles.
    EXPECT_GE(r->getNbLines(), 24u);
    EXPECT_EQ(r->getNbTriangles(), 18u);

    scene_->DebugDraw();
    std::uint32_t lines = 0, triangles = 0;
    for (const ::Draw& d : target.draws) {
        (d.primitive == PT_LINE_LIST ? lines : triangles) += d.count;
    }
    EXPECT_EQ(lines, r->getNbLines());
    EXPECT_EQ(triangles, 18u);
    ASSERT_EQ(target.wireframes.size(), 1u);
    EXPECT_EQ(target.wireframes[0], std::make_pair(16u, 18u));
}

}  // namespace
