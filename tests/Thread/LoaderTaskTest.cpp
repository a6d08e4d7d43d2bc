// The loading tasks on a running loading thread 0: a level's asynchronous load runs the real
// level-loading task and shows the level again whether or not it loads; an actor that cannot be
// handed to the host is not left in the scene.
#include <gtest/gtest.h>

#include <string>

#include "Core/TaskFactory.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/Level.h"
#include "Interface/IActor.h"
#include "Interface/ILevel.h"
#include "Thread/CreationRecords.h"
#include "Thread/HostTasks.h"
#include "modelgen/Recipes.h"
#include "tests/Entity/Scene/LevelFixture.h"

namespace ZelTest {
namespace {

class LoaderTaskTest : public LevelGridTest {
protected:
    void SetUp() override {
        LevelGridTest::SetUp();
        previous_ = Zel::SetTaskFactory(&Zel::CreateHostTask);
        worker_ = Zel::threadmng::GetInstance()->GetOrCreateThread(0);
        ASSERT_NE(worker_, nullptr);
        ASSERT_EQ(worker_->Start(nullptr), 0);
    }
    void TearDown() override {
        EXPECT_EQ(worker_->Stop(), 0);
        Zel::SetTaskFactory(previous_);
        LevelGridTest::TearDown();
    }

    Zel::threadio* worker_ = nullptr;

private:
    Zel::TaskFactoryFunction previous_ = nullptr;
};

bool Hidden(const Zel::Level& level) {
    return (level.GetAnimationFlags() & Zel::ENTITY_NEVER_PUSHED) != 0;
}

TEST_F(LoaderTaskTest, AnAsynchronousLevelLoadRunsTheLevelTaskAndShowsTheLevelAfterwards) {
    SaveGrid("ll", 2);
    struct Case {
        const char* name;
        int result;
        bool meshes;
    };
    const Case cases[] = {
        {"ll/grid.xml", 0, true},
        {"ll/missing.xml", 12, false},
    };
    for (const Case& c : cases) {
        Zel::Level* level = Scene().CreateLevel();
        ZelI::ILevel* slot = reinterpret_cast<ZelI::ILevel*>(level);  // overwritten by the task
        const std::uint32_t id = level->LoadAsync(c.name, &slot, 0);
        ASSERT_NE(id, 0u) << c.name;
        EXPECT_TRUE(Hidden(*level)) << c.name;  // kept out of the pipes while it loads
        EXPECT_EQ(worker_->SyncTask(id), c.result) << c.name;
        EXPECT_FALSE(Hidden(*level)) << c.name;
        EXPECT_EQ(level->GetSubEntity(0) != nullptr, c.meshes) << c.name;
        // The slot holds what the task wrote: the level's wrapper once it loaded, else null.
        EXPECT_EQ(static_cast<ZelI::IMoveObject*>(slot),
                  c.result == 0 ? level->GetBoundInterface() : nullptr)
            << c.name;
        if (c.result == 0)
            EXPECT_NE(slot, nullptr) << c.name;
        Scene().ReleaseEntity(level);
    }
}

TEST_F(LoaderTaskTest, AnActorLoadsIntoItsSlotAndAMissingDescriptionFailsLeavingNothing) {
    for (const ZelModelGen::RecipeFile& f : ZelModelGen::MakeRecipe("actor"))
        ASSERT_TRUE(f.file.Save(f.name)) << f.name;
    struct Case {
        std::int32_t type;
        const char* name;
        bool loads;
    };
    const Case cases[] = {
        {Zel::kActorLoadTaskType, "actor.act", true},
        {Zel::kNewActorLoadTaskType, "actor.act", true},
        // The description geometry reads nothing of the file: a name that names no file must
        // not give an empty actor reported as made.
        {Zel::kActorLoadTaskType, "elsewhere/other.act", false},
    };
    for (const Case& c : cases) {
        const std::size_t entities = Scene().GetEntityCount();
        Zel::ActorLoadTaskParameter parameter;
        Zel::CopyTaskName(parameter.name, c.name);
        ZelI::IActor* slot = nullptr;
        parameter.result = &slot;
        const std::uint32_t id = worker_->CreateTask(c.type, &parameter, 0);
        ASSERT_NE(id, 0u);
        EXPECT_EQ(worker_->SyncTask(id), c.loads ? 0 : 17) << c.type << " " << c.name;
        EXPECT_EQ(slot != nullptr, c.loads) << c.type << " " << c.name;
        EXPECT_EQ(Scene().GetEntityCount(), entities + (c.loads ? 1 : 0)) << c.name;
        if (slot)
            slot->Release();
    }
}

}  // namespace
}  // namespace ZelTest
