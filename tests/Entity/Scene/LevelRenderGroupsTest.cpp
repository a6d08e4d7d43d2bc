// Where a level's meshes go in the render queue: the level's own groups for each kind of queueing,
// nothing while the draw-the-level switch is off, and its floor meshes as shadow receivers.
#include <gtest/gtest.h>

#include "Core/GlobalConfigManager.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/Light.h"
#include "Entity/Scene/RenderableGroup.h"
#include "tests/Entity/Scene/SceneFixture.h"

namespace {

using namespace Zel;

class LevelRenderGroupsTest : public ZelTest::SceneTest {
protected:
    // Entries per group id, over every group of the queue.
    std::size_t Entries(std::uint32_t id) {
        RenderableGroup* group = Queue().FindGroup(id);
        if (!group)
            return 0;
        if (auto* transparent = dynamic_cast<RenderableGroupTransparent*>(group))
            return transparent->GetEntries().size();
        std::size_t n = 0;
        if (auto* solid = dynamic_cast<RenderableGroupSolid*>(group))
            solid->ForEachList([&](std::int32_t, Light*, const RenderableList& list) {
                n += list.renderables.size();
            });
        return n;
    }
};

TEST_F(LevelRenderGroupsTest, ALevelAnswersItsOwnGroupsForEveryKind) {
    Level* level = Scene().CreateLevel();
    const std::pair<std::uint32_t, std::uint32_t> cases[] = {
        {0, 6}, {1, 8}, {2, 10}, {3, 8}, {99, 8}};
    for (const auto& [kind, group] : cases) EXPECT_EQ(level->GetRenderGroup(kind), group) << kind;
    EXPECT_EQ(level->GetEntityKind(), 10u);
}

TEST_F(LevelRenderGroupsTest, TheLevelsMeshesReachTheLevelGroupsWhileTheLevelIsDrawn) {
    Material& lit = MakeMaterial({{}});
    lit.flags = MF_LIT;
    Level* level = Scene().CreateLevel();
    AddPiece(*level, MakeMesh(), &lit);
    Light* light = Scene().CreateLight(1);
    const struct {
        std::uint32_t drawLevel;
        Light* light;
        std::uint32_t group;
    } cases[] = {
        {1, nullptr, RENDER_GROUP_LEVEL_UNLIT},
        {1, light, RENDER_GROUP_LEVEL_LIT},
        {0, light, 0},
    };
    for (const auto& c : cases) {
        G()->GetConfigManager()->SetValue(9, c.drawLevel);
        Queue().ClearAll();
        level->AddSubEntitiesToQueue(&Queue(), c.light, nullptr);
        for (std::uint32_t id : {RENDER_GROUP_LEVEL_UNLIT, RENDER_GROUP_LEVEL_LIT,
                                 RENDER_GROUP_ENTITY_UNLIT, RENDER_GROUP_ENTITY_LIT})
            EXPECT_EQ(Entries(id), id == c.group ? 1u : 0u)
                << "switch " << c.drawLevel << " group " << id;
    }
    G()->GetConfigManager()->SetValue(9, 1);
    Queue().ClearAll();
    level->AddSubEntitiesForLight(&Queue(), light, nullptr);
    EXPECT_EQ(Entries(RENDER_GROUP_LEVEL_PER_LIGHT), 1u);
    EXPECT_EQ(Entries(RENDER_GROUP_ENTITY_PER_LIGHT), 0u);
}

TEST_F(LevelRenderGroupsTest, FloorMeshesOfAVisibleLevelReceiveShadowsInTheLevelGroup) {
    Material& floor = MakeMaterial({{}});
    floor.flags = MF_FLOOR;
    Material& wall = MakeMaterial({{}});
    Material& receiver = MakeMaterial({{}});
    Level* level = Scene().CreateLevel();
    AddPiece(*level, MakeMesh(), &floor);
    AddPiece(*level, MakeMesh(1.0f), &wall);
    AddPiece(*level, MakeMesh(2.0f), &floor);

    level->ClearStateBits(NODE_VISIBLE);
    level->AddShadowReceivers(&Queue(), &receiver);
    EXPECT_EQ(Entries(RENDER_GROUP_LEVEL_RECEIVERS), 0u);

    level->SetStateBits(NODE_VISIBLE);
    level->AddShadowReceivers(&Queue(), &receiver);
    auto* group =
        dynamic_cast<RenderableGroupTransparent*>(Queue().FindGroup(RENDER_GROUP_LEVEL_RECEIVERS));
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(group->GetEntries().size(), 2u);
    EXPECT_EQ(group->GetEntries()[0].renderable, level->GetSubEntity(0));
    EXPECT_EQ(group->GetEntries()[1].renderable, level->GetSubEntity(2));
    EXPECT_EQ(group->GetEntries()[0].pass, receiver.GetPass(0));
    EXPECT_EQ(Entries(RENDER_GROUP_ENTITY_RECEIVERS), 0u);

    // The receiver pass draws the groups and leaves both empty; a level casts nothing.
    level->QueueShadowReceivers(&receiver);
    EXPECT_EQ(Entries(RENDER_GROUP_LEVEL_RECEIVERS), 0u);
    level->AddShadowCasters(&Queue(), nullptr);
    EXPECT_EQ(Entries(RENDER_GROUP_SHADOW_CASTERS), 0u);
}

}  // namespace
