// The pipe's pipeline: what it lists, which object becomes the scene's level, what it queues in
// each mode, and its pass-through objects.
#include <gtest/gtest.h>

#include "Entity/Character/Actor.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/Light.h"
#include "Entity/Scene/RenderCorePipeline.h"
#include "Entity/Scene/RenderableGroup.h"
#include "tests/Entity/Scene/SceneFixture.h"

namespace {

using namespace Zel;

class CountingCallback final : public RenderCallback {
public:
    void Run() override { ++runs; }
    int runs = 0;
};

class RenderCorePipelineTest : public ZelTest::SceneTest {
protected:
    // Pieces in the entity groups, solid and transparent.
    std::size_t Queued(std::uint32_t group) {
        auto* solid = dynamic_cast<RenderableGroupSolid*>(Queue().FindGroup(group));
        if (!solid)
            return 0;
        std::size_t count = 0;
        solid->ForEachList([&count](std::int32_t, Light*, const RenderableList& list) {
            count += list.renderables.size();
        });
        return count;
    }
};

TEST_F(RenderCorePipelineTest, OnlyAPushedLevelBecomesTheScenesLevel) {
    RenderCorePipeline pipeline(RenderCorePipeline::MODE_NORMAL);
    Level* level = Scene().CreateLevel();
    Actor* actor = Scene().CreateActor();
    ASSERT_NE(level, nullptr);
    ASSERT_NE(actor, nullptr);

    pipeline.Add(level);
    pipeline.Render(&Queue());
    EXPECT_EQ(Scene().GetLevel(), level);

    // An actor pushed where a level is expected is listed but never taken for the level.
    Scene().SetLevel(nullptr);
    pipeline.Clear();
    pipeline.Add(actor);
    pipeline.Render(&Queue());
    EXPECT_EQ(Scene().GetLevel(), nullptr);
    EXPECT_EQ(pipeline.GetItems().size(), 1u);

    // A level never to be pushed still becomes the level, but is not listed.
    pipeline.Clear();
    level->SetAnimationFlags(ENTITY_NEVER_PUSHED);
    pipeline.Add(level);
    pipeline.Render(&Queue());
    EXPECT_EQ(Scene().GetLevel(), level);
    EXPECT_TRUE(pipeline.GetItems().empty());
    Scene().SetLevel(nullptr);
}

TEST_F(RenderCorePipelineTest, ModesQueueTheirItemsAndCallbacksAlwaysRun) {
    Material& material = MakeMaterial({{}});
    material.flags = MF_LIT;
    Entity& entity = MakeEntity({&MakeMesh()}, &material);
    Light* light = Scene().CreateLight(1);
    struct Case {
        const char* name;
        std::int32_t mode;
        bool target;
        std::size_t unlit, perLight;
    };
    const Case cases[] = {
        {"normal", RenderCorePipeline::MODE_NORMAL, false, 1, 0},
        {"for a light", RenderCorePipeline::MODE_LIGHT, true, 0, 1},
        {"for no light", RenderCorePipeline::MODE_LIGHT, false, 0, 0},
        {"other mode", 1, true, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RenderCorePipeline pipeline(c.mode);
        if (c.target)
            pipeline.SetTarget(light);
        CountingCallback callback;
        pipeline.AddItem(&entity);
        pipeline.AddCallback(&callback);
        pipeline.Render(&Queue());
        EXPECT_EQ(Queued(RENDER_GROUP_ENTITY_UNLIT), c.unlit);
        EXPECT_EQ(Queued(RENDER_GROUP_ENTITY_PER_LIGHT), c.perLight);
        EXPECT_EQ(callback.runs, 1);
        pipeline.Clear();
        EXPECT_TRUE(pipeline.GetItems().empty());
        Queue().ClearAll();
    }
}

TEST_F(RenderCorePipelineTest, AnEntityAddsItselfAndItsAttachedEntitiesToThePipe) {
    Entity& parent = MakeEntity({}, nullptr);
    Entity& child = MakeEntity({}, nullptr);
    parent.AddChildEntity(&child);
    child.ClearStateBits(NODE_VISIBLE);
    RenderCorePipeline pipeline(RenderCorePipeline::MODE_NORMAL);
    parent.AddToPipe(&pipeline);
    ASSERT_EQ(pipeline.GetItems().size(), 2u);
    EXPECT_TRUE(child.IsVisible());
    parent.ClearStateBits(NODE_VISIBLE);
    pipeline.Clear();
    parent.AddToPipe(&pipeline);
    EXPECT_TRUE(pipeline.GetItems().empty());
}

}  // namespace
