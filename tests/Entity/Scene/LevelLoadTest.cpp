// How a level gets loaded besides Level::Load: the asynchronous load that queues a level-loading
// task on worker 0 (the task record it fills), the scene manager's creation calls, and the models
// a level places from its part records.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Core/GlobalConfigManager.h"
#include "Core/TaskFactory.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Geometry/StaticGeometry.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/OctreeNode.h"
#include "Entity/Scene/SimpLevel.h"
#include "tests/Core/RecordingTasks.h"
#include "support/LogCapture.h"
#include "tests/Entity/Scene/LevelFixture.h"

namespace {

using namespace Zel;

// A recording task that keeps the level-loading record it was made with.
class LevelRecordTask : public ZelTest::RecordingTask {
public:
    LevelRecordTask() : RecordingTask(kLevelLoadTaskType) {}
    void SetParameter(const void* parameter) override {
        if (parameter)
            record = *static_cast<const LevelLoadTaskParameter*>(parameter);
    }
    LevelLoadTaskParameter record;
};

itask* MakeLevelRecordTask(std::int32_t type) {
    return type == kLevelLoadTaskType ? new LevelRecordTask : ZelTest::MakeRecordingTask(type);
}

class LevelLoadTest : public ZelTest::LevelGridTest {
protected:
    void SetUp() override {
        ZelTest::LevelGridTest::SetUp();
        previous_ = SetTaskFactory(&MakeLevelRecordTask);
        SaveGrid("ll", 4);
        // An unstarted worker 0: tasks wait in its submitted list, where the test reads them.
        worker_ = threadmng::GetInstance()->GetOrCreateThread(0);
        ASSERT_NE(worker_, nullptr);
    }
    void TearDown() override {
        for (std::uint32_t id : queued_) worker_->CancelTask(id);
        SetTaskFactory(previous_);
        ZelTest::LevelGridTest::TearDown();
    }
    // Writes the one-mesh cube model into "ll" and answers its absolute path; empty (the failure
    // recorded) when it cannot be written.
    static std::string SaveCube() {
        ZelModelGen::RecipeOptions options;
        options.meshCount = 1;
        options.wide = false;
        std::vector<ZelModelGen::RecipeFile> files;
        std::string error;
        if (!ZelModelGen::SaveRecipe("cube", "ll", options, files, error)) {
            ADD_FAILURE() << error;
            return {};
        }
        return std::filesystem::absolute("ll/cube.dm3").string();
    }
    const LevelRecordTask* Queued(std::uint32_t id) {
        queued_.push_back(id);
        return dynamic_cast<const LevelRecordTask*>(worker_->FindTask(id));
    }

    threadio* worker_ = nullptr;
    std::vector<std::uint32_t> queued_;

private:
    TaskFactoryFunction previous_ = nullptr;
};

TEST_F(LevelLoadTest, AnAsynchronousLoadQueuesTheLevelLoadingTaskWithItsRecord) {
    const std::string longest = "ll/" + std::string(248, 'a') + ".xml";  // 255 characters
    ASSERT_EQ(longest.size(), LevelLoadTaskParameter::kMaxNameLength);
    const struct {
        const char* what;
        std::string name;
        bool emptyLevel;
        bool queued;
    } cases[] = {
        {"a level file", "ll/grid.xml", false, true},
        {"the longest name the record holds", longest, false, true},
        {"a name one character too long", "l" + longest, false, false},
        {"the empty-level switch", "ll/grid.xml", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        G()->GetConfigManager()->SetValue(47, c.emptyLevel ? 1 : 0);
        Level* level = Scene().CreateLevel();
        ZelI::ILevel* host = nullptr;
        const std::uint32_t id = level->LoadAsync(c.name, &host, 7);
        EXPECT_EQ(id != 0, c.queued);
        // Hidden from the pipes exactly while a task will load it.
        EXPECT_EQ((level->GetAnimationFlags() & ENTITY_NEVER_PUSHED) != 0, c.queued);
        EXPECT_EQ(level->GetStaticGeometry(), nullptr);  // nothing loads on this thread
        if (c.queued) {
            const LevelRecordTask* task = Queued(id);
            ASSERT_NE(task, nullptr);
            EXPECT_EQ(task->GetType(), kLevelLoadTaskType);
            EXPECT_EQ(std::string(task->record.name), c.name);
            EXPECT_EQ(task->record.level, level);
            EXPECT_EQ(task->record.result, &host);
        }
        Scene().ReleaseEntity(level);
    }
    // The empty-level switch makes a direct load succeed with nothing loaded.
    G()->GetConfigManager()->SetValue(47, 1);
    Level* empty = Scene().CreateAndLoadLevel("ll/grid.xml");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->GetStaticGeometry(), nullptr);
    EXPECT_EQ(empty->GetOctree(), nullptr);
    EXPECT_EQ(empty->GetAnimationFlags() & ENTITY_NEVER_PUSHED, 0u);
    G()->GetConfigManager()->SetValue(47, 0);
}

TEST_F(LevelLoadTest, TheSceneManagerMakesLevelsAndReleasesThoseNothingWillLoad) {
    const std::size_t entities = Scene().GetEntityCount();
    ZelI::ILevel* host = nullptr;
    const std::uint32_t id = Scene().CreateAndLoadLevelEx("ll/grid.xml", &host, 0);
    ASSERT_NE(id, 0u);
    const LevelRecordTask* task = Queued(id);
    ASSERT_NE(task, nullptr);
    ASSERT_NE(task->record.level, nullptr);
    EXPECT_EQ(Scene().GetEntityCount(), entities + 1);
    // The task's side: the load runs on the level the record names.
    EXPECT_TRUE(task->record.level->ProcessLoadLevelGeometry(task->record.name));
    EXPECT_EQ(task->record.level->GetAnimationFlags() & ENTITY_NEVER_PUSHED, 0u);
    Scene().ReleaseEntity(task->record.level);

    EXPECT_EQ(Scene().CreateAndLoadLevelEx(std::string(300, 'l'), &host, 0), 0u);
    EXPECT_EQ(Scene().GetEntityCount(), entities);

    SimpLevel* simple = Scene().CreateAndLoadSimpLevel("ll/grid.xml");
    ASSERT_NE(simple, nullptr);
    EXPECT_EQ(simple->GetGeometry()->GetKind(), 19u);
    EXPECT_EQ(simple->LoadAsync("ll/grid.xml", &host, 0), 0u);
    EXPECT_EQ(simple->GetAnimationFlags() & ENTITY_NEVER_PUSHED, 0u);
    EXPECT_EQ(Scene().CreateAndLoadSimpLevel("ll/none.xml"), nullptr);
    Scene().ReleaseEntity(simple);
    EXPECT_EQ(Scene().GetEntityCount(), entities);
}

TEST_F(LevelLoadTest, PartRecordsBecomePlacedModelsListedInTheOctree) {
    const std::string cube = SaveCube();
    ASSERT_FALSE(cube.empty());

    Level* level = Scene().CreateLevel();
    ASSERT_TRUE(level->ProcessLoadLevelGeometry("ll/grid.xml"));
    EXPECT_EQ(level->GetPartCount(), 0u);  // the level file places no models
    std::vector<LevelPart>& records = level->GetStaticGeometry()->GetParts();
    LevelPart first, missing, second;
    first.name = second.name = cube;
    first.matrix[3] = 1.5f;
    second.matrix[3] = 3.0f;
    second.matrix[7] = 2.5f;
    missing.name = std::filesystem::absolute("ll/none.dm3").string();
    records = {first, missing, second};
    const std::size_t entities = Scene().GetEntityCount();
    level->CreateParts();

    ASSERT_EQ(level->GetPartCount(), 2u);  // the model that does not load is skipped
    EXPECT_EQ(level->GetPart(2), nullptr);
    EXPECT_EQ(Scene().GetEntityCount(), entities + 2);
    const float expected[2][3] = {{1.5f, 0, 0}, {3.0f, 2.5f, 0}};
    for (std::uint32_t i = 0; i < 2; ++i) {
        Entity* part = level->GetPart(i);
        for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(part->GetWorldPosition()[k], expected[i][k]);
        EXPECT_NE(part->GetSpatialCell(), nullptr) << "part " << i;
    }
    // A part the host released itself is not released again with the level.
    ZelTest::LogCapture log;
    Scene().ReleaseEntity(level->GetPart(0));
    Scene().ReleaseEntity(level);
    EXPECT_EQ(Scene().GetEntityCount(), entities - 1);
    EXPECT_EQ(log.Count("Release Unknown Entity"), 0);
}

// A level loaded from the grid whose geometry places the cube model twice.
class LevelPartsTest : public LevelLoadTest {
protected:
    void SetUp() override {
        LevelLoadTest::SetUp();
        cube_ = SaveCube();
        ASSERT_FALSE(cube_.empty());
        entities_ = Scene().GetEntityCount();
        level_ = Scene().CreateLevel();
        ASSERT_TRUE(level_->ProcessLoadLevelGeometry("ll/grid.xml"));
        LevelPart part;
        part.name = cube_;
        // The geometry stays with its manager: a later load of the same level finds these.
        level_->GetStaticGeometry()->GetParts() = {part, part};
        level_->CreateParts();
        ASSERT_EQ(level_->GetPartCount(), 2u);
    }

    std::string cube_;
    std::size_t entities_ = 0;
    Level* level_ = nullptr;
};

TEST_F(LevelPartsTest, LoadingAgainReplacesThePiecesAndPartsOfTheLoadBefore) {
    const std::size_t pieces = level_->GetSubEntities().size();
    ASSERT_GT(pieces, 0u);
    const std::size_t entities = Scene().GetEntityCount();
    ASSERT_EQ(entities, entities_ + 3);  // the level and its two parts
    for (const char* how : {"direct", "through Load"}) {
        SCOPED_TRACE(how);
        if (std::string(how) == "direct")
            ASSERT_TRUE(level_->ProcessLoadLevelGeometry("ll/grid.xml"));
        else
            ASSERT_TRUE(level_->Load("ll/grid.xml"));
        EXPECT_EQ(level_->GetSubEntities().size(), pieces);
        EXPECT_EQ(level_->GetPartCount(), 2u);
        EXPECT_EQ(Scene().GetEntityCount(), entities);
        for (std::uint32_t i = 0; i < 2; ++i) {
            ASSERT_NE(level_->GetPart(i), nullptr);
            EXPECT_NE(level_->GetPart(i)->GetSpatialCell(), nullptr) << "part " << i;
        }
    }
    // A load that fails keeps nothing of the one before, whose geometry it let go.
    EXPECT_FALSE(level_->ProcessLoadLevelGeometry("ll/none.xml"));
    EXPECT_EQ(level_->GetSubEntities().size(), 0u);
    EXPECT_EQ(level_->GetPartCount(), 0u);
    EXPECT_EQ(level_->GetOctree(), nullptr);
    EXPECT_EQ(level_->GetOccluderCount(), 0u);
    EXPECT_EQ(Scene().GetEntityCount(), entities_ + 1);
    Scene().ReleaseEntity(level_);
    EXPECT_EQ(Scene().GetEntityCount(), entities_);
}

TEST_F(LevelPartsTest, APartReleasedElsewhereIsNoLongerTheLevels) {
    Entity* part = level_->GetPart(0);
    ASSERT_NE(part, nullptr);
    Scene().ReleaseEntity(part);
    EXPECT_EQ(level_->GetPart(0), nullptr);
    EXPECT_NE(level_->GetPart(1), nullptr);
    // The pool hands the released entity to the next model asked for.
    Entity* other = Scene().CreateModel(cube_);
    ASSERT_EQ(other, part);
    EXPECT_EQ(level_->GetPart(0), nullptr);

    ZelTest::LogCapture log;
    Scene().ReleaseEntity(level_);
    // The level released its own part and left the other owner's model alone.
    EXPECT_EQ(Scene().GetEntityCount(), entities_ + 1);
    EXPECT_EQ(log.Count("Release Unknown Entity"), 0);
    Scene().ReleaseEntity(other);
    EXPECT_EQ(Scene().GetEntityCount(), entities_);
    EXPECT_EQ(log.Count("Release Unknown Entity"), 0);
}

}  // namespace
