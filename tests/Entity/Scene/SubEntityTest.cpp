// Sub-entities: the level of detail a fill chooses, one fill per drawn group, the once-per-frame
// passes, which pieces are queued at all, and the record a fill leaves.
#include <gtest/gtest.h>

#include <memory>

#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Scene/RenderableGroup.h"
#include "tests/Entity/Scene/SceneFixture.h"

namespace {

using namespace Zel;

class SubEntityTest : public ZelTest::SceneTest {};

TEST_F(SubEntityTest, TheLevelOfDetailFollowsTheExplicitLevelOrTheFactor) {
    // Three levels drawing 3, 6 and 9 indices.
    Mesh& mesh = MakeMesh(0.0f, {6, 9});
    const std::uint32_t byLevel[] = {3, 6, 9};
    struct Case {
        float factor;
        std::uint32_t explicitLevel;
        std::uint32_t level;
    };
    const Case cases[] = {
        {0.0f, 0, 0}, {0.5f, 0, 1}, {1.0f, 0, 2}, {0.0f, 7, 2}, {0.9f, 1, 1}, {-3.0f, 0, 0},
    };
    Material& material = MakeMaterial({{}});
    Entity& entity = MakeEntity({&mesh}, &material);
    SubEntity& piece = *entity.GetSubEntity(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "factor " << c.factor << ", level " << c.explicitLevel);
        entity.SetLodFactor(c.factor);
        entity.SetExplicitLod(c.explicitLevel);
        EXPECT_EQ(piece.FillRenderOperation(material.GetPass(0), 0), 1u);
        EXPECT_EQ(piece.GetRenderOperationRecord()->indexCount, byLevel[c.level]);
    }
}

TEST_F(SubEntityTest, EveryDrawnGroupOfALevelIsFilledInTurn) {
    Mesh& mesh = MakeMesh();
    auto group = std::make_unique<LodStripArray>();
    group->entries.push_back({PT_TRIANGLE_LIST, 3, 3, 0, 0});
    group->entries.push_back({PT_TRIANGLE_LIST, 3, 0, 12, 0});  // hidden
    group->entries.push_back({PT_TRIANGLE_STRIP, 3, 3, 4, 0});
    mesh.AddRenderGroup(std::move(group));
    Material& material = MakeMaterial({{}});
    Entity& entity = MakeEntity({&mesh}, &material);
    SubEntity& piece = *entity.GetSubEntity(0);
    entity.SetExplicitLod(1);
    const RenderOperation& record = *piece.GetRenderOperationRecord();
    EXPECT_EQ(piece.FillRenderOperation(material.GetPass(0), 0), 2u);
    EXPECT_EQ(record.primitiveType, std::uint32_t(PT_TRIANGLE_LIST));
    EXPECT_EQ(record.startIndex, 0u);
    EXPECT_EQ(piece.FillRenderOperation(material.GetPass(0), 1), 2u);
    EXPECT_EQ(record.primitiveType, std::uint32_t(PT_TRIANGLE_STRIP));
    EXPECT_EQ(record.startIndex, 1u);
    EXPECT_EQ(record.indexCount, 3u);
    EXPECT_EQ(record.vertexCount, 3u);
    EXPECT_EQ(record.owner, &entity);
    EXPECT_EQ(record.pass, material.GetPass(0));
    ASSERT_NE(record.vertexBinding, nullptr);
}

TEST_F(SubEntityTest, AOncePerFramePassFillsOncePerFrame) {
    Material& material = MakeMaterial({{}});
    material.GetPass(0)->passFlags |= PF_DEPTH_ONLY;
    Entity& entity = MakeEntity({&MakeMesh()}, &material);
    SubEntity& piece = *entity.GetSubEntity(0);
    EXPECT_EQ(piece.FillRenderOperation(material.GetPass(0), 0), 1u);
    EXPECT_EQ(piece.FillRenderOperation(material.GetPass(0), 0), 0u);
    entity.ClearOncePerFrameMarks();
    EXPECT_EQ(piece.FillRenderOperation(material.GetPass(0), 0), 1u);
}

TEST_F(SubEntityTest, TheOwnersColourAndTransparencyReachTheRecord) {
    Material& glass = MakeMaterial({{true}});
    Entity& entity = MakeEntity({&MakeMesh()}, &glass);
    SubEntity& piece = *entity.GetSubEntity(0);
    const float red[4] = {1.0f, 0.0f, 0.0f, 0.5f};
    entity.SetColour(red);
    entity.SetTransparencyTune(0.25f);
    piece.FillRenderOperation(glass.GetPass(0), 0);
    EXPECT_FALSE(piece.GetRenderOperationRecord()->hasColour);
    EXPECT_FLOAT_EQ(piece.GetShaderParameters().GetFloats().at("g_fTransparencyTune"), 0.25f);
    entity.SetRenderFlag(true);
    piece.FillRenderOperation(glass.GetPass(0), 0);
    const RenderOperation& record = *piece.GetRenderOperationRecord();
    EXPECT_TRUE(record.hasColour);
    EXPECT_FLOAT_EQ(record.colour[3], 0.5f);
    EXPECT_EQ(record.parameters, &piece.GetShaderParameters());
}

// A mesh whose vertices its owner poses in world space, as the cloth pieces of actors are.
class WorldPosedMesh : public Mesh {
public:
    WorldPosedMesh() : Mesh(nullptr, true, true) {}
    std::uint32_t GetMeshType() const override { return 3; }
};

// A moved, turned and scaled owner: its ordinary pieces are drawn through its matrix, a cloth
// piece (already posed in the world) through none, while its box still follows the owner.
TEST_F(SubEntityTest, AClothPieceIsDrawnWhereItsOwnerPosedIt) {
    // Kept by the fixture: the scene resets the pieces after the test.
    meshes_.push_back(std::make_unique<WorldPosedMesh>());
    Mesh& cloth = *meshes_.back();
    ZelTest::GeometryTest::FillMesh(cloth, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2});
    Entity& entity = MakeEntity({&MakeMesh(), &cloth}, &MakeMaterial({{false}}));
    const float at[3] = {3.0f, 4.0f, 5.0f}, twice[3] = {2.0f, 2.0f, 2.0f};
    entity.SetPosition(at);
    entity.SetScale(twice);
    const float* owner = entity.GetRenderMatrix();
    ASSERT_EQ(owner[3], 3.0f);
    ASSERT_EQ(owner[0], 2.0f);
    struct Case {
        const char* piece;
        std::uint32_t index;
        bool throughOwner;
    };
    for (const Case& c : {Case{"ordinary", 0, true}, Case{"cloth", 1, false}}) {
        const float* world = entity.GetSubEntity(c.index)->GetWorldMatrix();
        EXPECT_EQ(world[3], c.throughOwner ? owner[3] : 0.0f) << c.piece;
        EXPECT_EQ(world[0], c.throughOwner ? owner[0] : 1.0f) << c.piece;
    }
    // Both meshes hold the same triangle: their boxes agree.
    const AABB ordinary = entity.GetSubEntity(0)->GetBoundingBox();
    const AABB& posed = entity.GetSubEntity(1)->GetBoundingBox();
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_FLOAT_EQ(posed.GetMin()[axis], ordinary.GetMin()[axis]) << axis;
        EXPECT_FLOAT_EQ(posed.GetMax()[axis], ordinary.GetMax()[axis]) << axis;
    }
    EXPECT_GT(posed.GetMin()[0], 1.0f) << "moved with the owner";
}

TEST_F(SubEntityTest, WhichPiecesAreQueuedAndWhere) {
    struct Case {
        const char* name;
        std::uint32_t lightingMode;
        bool withLight;
        std::uint32_t group;
    };
    const Case cases[] = {
        {"lit material with a light", 1, true, 11},
        {"vertex-lit material with a light", 2, true, 11},
        {"lit material without a light", 1, false, 9},
        {"unlit material with a light", 0, true, 9},
    };
    Light* light = Scene().CreateLight(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Material& material = MakeMaterial({{}});
        material.lightingMode = c.lightingMode;
        Entity& entity = MakeEntity({&MakeMesh()}, &material);
        entity.AddSubEntitiesToQueue(&Queue(), c.withLight ? light : nullptr, nullptr);
        auto* group = dynamic_cast<RenderableGroupSolid*>(Queue().FindGroup(c.group));
        ASSERT_NE(group, nullptr);
        const std::uint32_t slot = c.group == 11 ? material.GetLitSlot() : material.GetUnlitSlot();
        const PerLightPipelineMap* map = group->FindLightPipelineMap(std::int32_t(slot));
        ASSERT_NE(map, nullptr);
        EXPECT_FALSE(map->GetPipelines().at(c.group == 11 ? light : nullptr)->IsEmpty());
        Queue().ClearAll();
    }

    // No indices, or a hidden entity: nothing is queued.
    Material& material = MakeMaterial({{}});
    Mesh& empty = MakeMesh();
    empty.GetIndexData()->SetIndexCount(0);
    MakeEntity({&empty}, &material).AddSubEntitiesToQueue(&Queue(), nullptr, nullptr);
    Entity& hidden = MakeEntity({&MakeMesh()}, &material);
    hidden.ClearStateBits(NODE_VISIBLE);
    hidden.AddSubEntitiesToQueue(&Queue(), nullptr, nullptr);
    auto* unlit = dynamic_cast<RenderableGroupSolid*>(Queue().FindGroup(9));
    ASSERT_NE(unlit, nullptr);
    EXPECT_TRUE(unlit->FindLightPipelineMap(0)->GetPipelines().at(nullptr)->IsEmpty());
    EXPECT_EQ(SubEntity().GetSortKey(), 100);
}

}  // namespace
