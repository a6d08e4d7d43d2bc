#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Physics/ClothNx.h"
#include "Physics/MemoryStream.h"
#include "PhysicsFixture.h"

using namespace Zel;
using ZelTest::BodyDesc;

namespace {

class ClothTest : public ZelTest::PhysicsTest {
protected:
    ClothNx* Grid(float width, float height, float cell, float x = 0, float y = 0, float z = 0) {
        return static_cast<ClothNx*>(
            Make(BodyDesc(PHX_SHAPE_CLOTH, width, height, cell, 0, x, y, z)));
    }
    // Position of received vertex i.
    static const float* At(ClothNx* cloth, int i) {
        return static_cast<const float*>(cloth->GetVertexBuffer()) + 8 * i;
    }
};

TEST_F(ClothTest, GridHasItsVerticesTrianglesAndChessboardDiagonals) {
    ClothNx* cloth = Grid(1.0f, 1.0f, 0.5f);
    ASSERT_NE(cloth, nullptr);
    EXPECT_EQ(cloth->GetGridColumns(), 3);
    EXPECT_EQ(cloth->GetGridRows(), 3);
    EXPECT_EQ(cloth->GetVertexCount(), 16);
    EXPECT_EQ(cloth->GetTriangleCount(), 18);
    EXPECT_EQ(cloth->GetVertexStride(), 32);
    EXPECT_EQ(cloth->GetIndexStride(), 4);
    EXPECT_EQ(cloth->GetReceivedVertexCount(), 16u);
    EXPECT_EQ(cloth->GetReceivedIndexCount(), 54u);
    EXPECT_EQ(cloth->GetReceivedParentIndexCount(), 0u);
    EXPECT_FLOAT_EQ(At(cloth, 5)[0], -0.5f);
    EXPECT_FLOAT_EQ(At(cloth, 5)[1], 0.0f);
    EXPECT_FLOAT_EQ(At(cloth, 5)[2], -0.5f);
    const std::uint32_t expected[] = {0, 4, 5, 0, 5, 1, 1, 5, 2, 2, 5, 6};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(cloth->GetIndexBuffer()[i], expected[i]) << i;
    }
}

TEST_F(ClothTest, GridRefusesSizesThatMakeNoGrid) {
    const float inf = INFINITY;
    const float nan = std::nanf("");
    const float sizes[][3] = {{1, 1, 0},   {1, 1, -0.5f}, {-1, 1, 0.5f},      {1, -1, 0.5f},
                              {inf, 1, 1}, {1, 1, nan},   {1e9f, 1e9f, 1e-3f}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(::testing::Message() << s[0] << " " << s[1] << " " << s[2]);
        EXPECT_EQ(Grid(s[0], s[1], s[2]), nullptr);
    }
    EXPECT_EQ(scene_->GetEntityCount(), 0u);
}

TEST_F(ClothTest, TearLinesAreTwoFamiliesOfDiagonals) {
    ClothNx cloth(scene_);
    ASSERT_TRUE(cloth.CreateGrid(19.0f, 19.0f, 1.0f, IdentityMatrix(), true));
    ASSERT_EQ(cloth.GetVertexCount(), 21 * 21);
    const auto flag = [&](int u, int v) { return cloth.GetTearFlags()[v * 21 + u]; };
    EXPECT_EQ(flag(0, 0), 128u);
    EXPECT_EQ(flag(16, 0), 128u);
    EXPECT_EQ(flag(8, 8), 128u);
    EXPECT_EQ(flag(4, 12), 128u);
    EXPECT_EQ(flag(1, 0), 0u);
}

TEST_F(ClothTest, PinnedClothReceivesFiniteRecordsAndStaysStillWithoutGravity) {
    for (bool gravity : {true, false}) {
        SCOPED_TRACE(gravity);
        ClothNx* cloth = Grid(1.0f, 1.0f, 0.25f, 0, 0, 2);
        ASSERT_NE(cloth, nullptr);
        cloth->SetGravityEnabled(gravity);
        // Hung by one corner, the sheet swings down about it.
        cloth->AttachVertexToGlobalPosition(0, At(cloth, 0));
        const int far = cloth->GetGridColumns();
        const std::vector<float> before(At(cloth, 0), At(cloth, 0) + 8 * cloth->GetVertexCount());
        Run(30);
        const int last = cloth->GetVertexCount() - 1;
        for (int i = 0; i <= last; ++i) {
            for (int k = 0; k < 6; ++k) {
                ASSERT_TRUE(std::isfinite(At(cloth, i)[k])) << i;
            }
        }
        EXPECT_FLOAT_EQ(At(cloth, 0)[2], 2.0f);  // pinned
        if (gravity) {
            EXPECT_LT(At(cloth, far)[2], before[8 * far + 2] - 0.1f);
        } else {
            for (int i = 0; i <= last; ++i) {
                EXPECT_NEAR(At(cloth, i)[0], before[8 * i], 1e-4f);
                EXPECT_NEAR(At(cloth, i)[2], before[8 * i + 2], 1e-4f);
            }
        }
        cloth->Release();
    }
}

TEST_F(ClothTest, MeshClothBuiltAtAnOffsetLandsInPlace) {
    // A unit quad, turned a quarter about Z and moved to (10, 0, 5).
    const float positions[] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    const std::uint32_t indices[] = {0, 1, 2, 0, 2, 3};
    PhxClothSource source;
    source.positions = positions;
    source.indices = indices;
    source.vertexCount = 4;
    source.triangleCount = 2;
    source.density = 2.0f;
    source.thickness = 0.05f;
    PhxBodyDesc desc = BodyDesc(PHX_SHAPE_CLOTH_ALT, 0, 0, 0, 0, 10, 0, 5);
    desc.pose[0] = 0;
    desc.pose[1] = -1;
    desc.pose[4] = 1;
    desc.pose[5] = 0;
    desc.extra = &source;
    auto* cloth = static_cast<ClothNx*>(Make(desc));
    ASSERT_NE(cloth, nullptr);
    EXPECT_EQ(cloth->GetDensity(), 2.0f);
    EXPECT_EQ(cloth->GetThickness(), 0.05f);
    const float expected[4][3] = {{10, 0, 5}, {10, 1, 5}, {9, 1, 5}, {9, 0, 5}};
    for (int i = 0; i < 4; ++i) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_FLOAT_EQ(At(cloth, i)[k], expected[i][k]) << i << " " << k;
        }
    }
    // A pin in world space holds its vertex there while the rest falls.
    cloth->AttachVertexToGlobalPosition(0, expected[0]);
    Run(20);
    EXPECT_FLOAT_EQ(At(cloth, 0)[0], 10.0f);
    EXPECT_FLOAT_EQ(At(cloth, 0)[2], 5.0f);
    EXPECT_LT(At(cloth, 2)[2], 5.0f);
}

TEST_F(ClothTest, SetPositionMovesEveryParticleByTheFirstOnesOffset) {
    ClothNx* cloth = Grid(1.0f, 1.0f, 0.5f, 1, 0, 0);
    ASSERT_NE(cloth, nullptr);
    const std::vector<float> before(At(cloth, 0), At(cloth, 0) + 8 * 16);
    const float target[3] = {5, 0, 0};
    cloth->SetPosition(target);
    for (int i = 0; i < 16; ++i) {
        EXPECT_FLOAT_EQ(At(cloth, i)[0], before[8 * i] + 4) << i;
        EXPECT_FLOAT_EQ(At(cloth, i)[2], before[8 * i + 2]) << i;
    }
    EXPECT_EQ(cloth->GetPosition()[0], 0.0f);
}

TEST_F(ClothTest, SettersKeepTheirValuesAndCloneCopiesGravityAndGroup) {
    ClothNx* cloth = Grid(1.0f, 1.0f, 0.5f);
    ASSERT_NE(cloth, nullptr);
    cloth->SetDensity(3.0f);
    EXPECT_EQ(cloth->GetDensity(), 3.0f);
    cloth->SetFriction(0.25f);
    EXPECT_EQ(cloth->GetFriction(), 0.25f);
    cloth->SetGravityEnabled(false);
    cloth->SetGroup(7);
    EXPECT_FALSE(cloth->IsGravityEnabled());
    EXPECT_EQ(cloth->GetNxCloth()->getFlags() & Nx::NX_CLF_GRAVITY, 0u);
    EXPECT_EQ(cloth->GetNxCloth()->getGroup(), 7u);
    auto* copy = static_cast<ClothNx*>(cloth->Clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_FALSE(copy->IsGravityEnabled());
    EXPECT_EQ(copy->GetGroup(), 7);
    EXPECT_EQ(copy->GetNxCloth()->getGroup(), 7u);
    EXPECT_EQ(copy->GetNxCloth()->getFlags() & Nx::NX_CLF_GRAVITY, 0u);
}

TEST_F(ClothTest, SleepingClothHoldsStill) {
    ClothNx* cloth = Grid(1.0f, 1.0f, 0.5f, 0, 0, 3);
    ASSERT_NE(cloth, nullptr);
    cloth->SetSleeping(true);
    EXPECT_TRUE(cloth->IsSleeping());
    EXPECT_TRUE(cloth->GetFlags() & PhxEntity::FLAG_SLEEPING);
    Run(10);
    EXPECT_FLOAT_EQ(At(cloth, 15)[2], 3.0f - 1.5f);
    cloth->SetSleeping(false);
    EXPECT_FALSE(cloth->IsSleeping());
    Run(10);
    EXPECT_LT(At(cloth, 15)[2], 3.0f - 1.5f);
}

TEST_F(ClothTest, CookedMeshReadsBackThroughMemoryStreams) {
    const float points[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
    const std::uint32_t triangles[] = {0, 1, 2, 2, 1, 3};
    Nx::NxClothMeshDesc desc;
    desc.numVertices = 4;
    desc.numTriangles = 2;
    desc.points = points;
    desc.triangles = triangles;
    MemoryWriteBuffer written;
    ASSERT_TRUE(GetCookClothMesh()(desc, written));
    EXPECT_GT(written.maxSize, written.currentSize);
    MemoryReadBuffer read(written.data, written.currentSize);
    Nx::NxClothMesh* mesh = GetPhysicsSDK()->createClothMesh(read);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->points, std::vector<float>(points, points + 12));
    EXPECT_EQ(mesh->triangles, std::vector<std::uint32_t>(triangles, triangles + 6));
    GetPhysicsSDK()->releaseClothMesh(*mesh);

    // Bytes that were not cooked make no mesh, even cut short.
    MemoryReadBuffer shortRead(written.data, 8);
    EXPECT_EQ(GetPhysicsSDK()->createClothMesh(shortRead), nullptr);
    const std::uint32_t bad[] = {0, 1, 4};
    desc.triangles = bad;
    desc.numTriangles = 1;
    MemoryWriteBuffer refused;
    EXPECT_FALSE(GetCookClothMesh()(desc, refused));
}

}  // namespace
