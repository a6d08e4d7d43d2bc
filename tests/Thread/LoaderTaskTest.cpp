// The loading tasks on a running loading thread 0: a level's asynchronous load runs the real
// level-loading task and shows the level again whether or not it loads; an actor that cannot be
// handed to the host is not left in the scene; a model's material libraries load as children of
// its task, one after the other, and a library that fails or a cancel leaves nothing behind.
#include <gtest/gtest.h>

#include <string>

#include "Core/TaskFactory.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/Level.h"
#include "Interface/IActor.h"
#include "Interface/ILevel.h"
#include "Interface/IModel.h"
#include "Thread/CreationRecords.h"
#include "Thread/HostTasks.h"
#include "fixtures/MaterialXmlFixtures.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/Recipes.h"
#include "support/LogCapture.h"
#include "tests/Thread/WorkerFixture.h"

namespace ZelTest {
namespace {

class LoaderTaskTest : public LoadingThreadTest {
protected:
    void SaveCubeWithLibraries(const std::string& file, const std::vector<std::string>& libraries);
    // Starts the worker (one of this thread, so that every cycle can be watched) and queues the
    // model's load, whose interface goes into slot. The task id; 0 when none was made.
    static std::uint32_t QueueModelLoad(Zel::threadio& worker, const char* name,
                                        ZelI::IModel** slot) {
        if (worker.Start(nullptr) != 0)
            return 0;
        Zel::ModelLoadTaskParameter parameter;
        Zel::CopyTaskName(parameter.name, name);
        parameter.result = slot;
        return worker.CreateTask(Zel::kModelLoadTaskType, &parameter, 0);
    }
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
        if (c.result == 0) {
            EXPECT_NE(slot, nullptr) << c.name;
        }
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

// Three cube meshes, "cube_mat0" to "cube_mat2", whose materials come from one library each
// ("<library>.xml" beside the model, where the model's names are read from); a library named
// "missing" is never written.
void LoaderTaskTest::SaveCubeWithLibraries(const std::string& file,
                                           const std::vector<std::string>& libraries) {
    ZelModelGen::RecipeOptions options;
    options.meshCount = 3;
    options.wide = false;
    ZelModelGen::GeometryDesc cube = ZelModelGen::CubeGeometry(options);
    cube.materialFiles.clear();
    const std::string folder = file.substr(0, file.rfind('/') + 1);
    for (std::size_t i = 0; i < libraries.size(); ++i) {
        cube.materialFiles.push_back(libraries[i] + ".xml");
        if (libraries[i] == "missing")
            continue;
        ZelFixtures::LibMaterial material;
        material.name = "cube_mat" + std::to_string(i);
        material.hasEffect = false;
        material.passes.push_back(ZelFixtures::MaterialPass());
        dir_.Write(folder + cube.materialFiles.back(),
                   ZelFixtures::WriteMaterialLibrary({material}));
    }
    ASSERT_TRUE(ZelModelGen::WriteGeometryFile(cube).Save(file));
}

TEST_F(LoaderTaskTest, AModelsLibrariesLoadAsChildrenOneAfterTheOther) {
    SaveCubeWithLibraries("mc/cube.dm3", {"lib0", "lib1", "lib2"});
    ZelI::IModel* slot = nullptr;
    Zel::threadio worker(Zel::WorkerDriver::Inline);
    const std::uint32_t id = QueueModelLoad(worker, "mc/cube.dm3", &slot);
    ASSERT_NE(id, 0u);
    // The sub-task count as the host sees it between cycles, repeats left out.
    std::vector<std::int32_t> counts;
    for (int cycle = 0; cycle < 1000; ++cycle) {
        Zel::itask* task = worker.FindTask(id);
        if (!task || task->GetState() == Zel::itask::kDone)
            break;
        if (task->GetState() >= Zel::itask::kSubTask &&
            (counts.empty() || counts.back() != task->GetSubTaskCount()))
            counts.push_back(task->GetSubTaskCount());
        worker.Pump();
    }
    EXPECT_EQ(counts, (std::vector<std::int32_t>{3, 2, 1, 0}));
    EXPECT_EQ(worker.GetTaskState(id), Zel::itask::kDone);
    EXPECT_EQ(worker.Stop(), 0);
    ASSERT_NE(slot, nullptr);
    Zel::MaterialManager& materials = *G()->GetMaterialManager();
    for (const char* name : {"cube_mat0", "cube_mat1", "cube_mat2"})
        EXPECT_NE(materials.FindMaterial(name, false), nullptr) << name;
    slot->Release();
}

TEST_F(LoaderTaskTest, ACancelledModelLoadLeavesNothingInTheScene) {
    SaveCubeWithLibraries("mx/cube.dm3", {"lib0", "lib1"});
    const std::size_t entities = Scene().GetEntityCount();
    const struct {
        const char* when;
        bool madeFirst;  // pumped until the worker made and registered the model
        std::int32_t cancelled;  // what the cancel answers: -1 recycled at once, 2 begun
    } rows[] = {{"before the worker's first step", false, -1}, {"once the model is made", true, 2}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.when);
        ZelI::IModel* slot = nullptr;
        // The cancel lands between two known steps.
        Zel::threadio worker(Zel::WorkerDriver::Inline);
        const std::uint32_t id = QueueModelLoad(worker, "mx/cube.dm3", &slot);
        ASSERT_NE(id, 0u);
        if (row.madeFirst) {
            for (int cycle = 0; cycle < 100 && Scene().GetEntityCount() == entities; ++cycle)
                worker.Pump();
            ASSERT_EQ(Scene().GetEntityCount(), entities + 1);
            ASSERT_NE(worker.FindTask(id), nullptr);
        }
        EXPECT_EQ(worker.CancelTask(id), row.cancelled);
        for (int cycle = 0; cycle < 100 && worker.FindTask(id); ++cycle) worker.Pump();
        EXPECT_EQ(worker.FindTask(id), nullptr);
        EXPECT_EQ(worker.Stop(), 0);
        EXPECT_EQ(slot, nullptr);
        EXPECT_EQ(Scene().GetEntityCount(), entities);
    }
}

TEST_F(LoaderTaskTest, AFailingLibraryEndsTheModelLoadLeavingNothing) {
    SaveCubeWithLibraries("mf/cube.dm3", {"lib0", "missing", "lib2"});
    const std::size_t entities = Scene().GetEntityCount();
    Zel::ModelLoadTaskParameter parameter;
    Zel::CopyTaskName(parameter.name, "mf/cube.dm3");
    ZelI::IModel* slot = nullptr;
    parameter.result = &slot;
    const std::uint32_t id = worker_->CreateTask(Zel::kModelLoadTaskType, &parameter, 0);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(worker_->SyncTask(id), 14);
    EXPECT_EQ(slot, nullptr);
    // The model no one was given is gone.
    EXPECT_EQ(Scene().GetEntityCount(), entities);
    // The library that did load keeps no reference for it: its material is held as one of a
    // library loaded for no one.
    Zel::MaterialManager& materials = *G()->GetMaterialManager();
    bool success = false;
    ASSERT_TRUE(materials.LoadMaterialLibXml("mf/lib2.xml", success, false, nullptr));
    Zel::Material* first = materials.FindMaterial("cube_mat0", false);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetRefCount(), materials.FindMaterial("cube_mat2", false)->GetRefCount());
}

}  // namespace
}  // namespace ZelTest
