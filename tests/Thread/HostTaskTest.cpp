// The host interface's task classes: the factory's table, the step patterns the classes follow on
// the host's side of the lock-step, and the release task that carries out a queued release on
// loading thread 0.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Core/QueueMode.h"
#include "Core/ScopedLock.h"
#include "Core/TaskFactory.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/SceneManager.h"
#include "Interface/IMoveObject.h"
#include "Platform/Win32/Win32System.h"
#include "Render/RenderCore/InterfaceBinders.h"
#include "Thread/ActorTasks.h"
#include "Thread/EffectTasks.h"
#include "Thread/HostTasks.h"
#include "Thread/release_obj_task.h"
#include "support/LogCapture.h"
#include "tests/Core/CoreRootFixture.h"

namespace ZelTest {
namespace {

std::vector<std::string> g_boxes;
int CaptureBox(HWND, LPCSTR text, LPCSTR caption, UINT) {
    g_boxes.push_back(std::string(caption ? caption : "") + ":" + (text ? text : ""));
    return IDOK;
}

TEST(HostTaskFactoryTest, MakesEveryClassOfTheTableAndRefusesTheRest) {
    struct Case {
        std::int32_t type;
        const char* name;  // null: no class
    };
    const Case cases[] = {
        {0, "level_loader"},
        {1, "shaderlib_loader"},
        {2, "act_loader"},
        {3, "model_loader"},
        {4, "actor_loader"},
        {5, "NewActorLoader"},
        {6, "LoadBodyPartTask"},
        {7, "LoadBodyPart5Task"},
        {8, "actorprocess_param"},
        {9, "ActorCloneTask"},
        {10, "actor_texcleaner"},
        {11, "actor_setlod"},
        {12, "AnimationChannel_SetActionTask"},
        {13, "release_obj_task"},
        {14, "animchn_set_NextAction"},
        {15, nullptr},
        {16, "GeometrySkin_LoadActionTask"},
        {17, "SharedActions_LoadActionTask"},
        {18, nullptr},  // the material library load is built by its parents only
        {19, "EffectLoadingTask"},
        {20, "EffectUnLoadTask"},
        {21, "EffectUnLoadDeeplyTask"},
        {22, nullptr},
        {-1, nullptr},
    };
    const MessageBoxSink previous = SetMessageBoxSink(&CaptureBox);
    for (const Case& c : cases) {
        g_boxes.clear();
        LogCapture log;
        Zel::itask* task = Zel::CreateHostTask(c.type);
        if (!c.name) {
            EXPECT_EQ(task, nullptr) << c.type;
            EXPECT_EQ(log.Count("main thread:ERROR task type! " + std::to_string(c.type)), 1)
                << c.type;
            EXPECT_EQ(g_boxes, std::vector<std::string>{"ERROR:main thread:ERROR task type!"});
            continue;
        }
        ASSERT_NE(task, nullptr) << c.type;
        EXPECT_EQ(task->GetType(), c.type);
        EXPECT_STREQ(task->GetName(), c.name);
        EXPECT_EQ(task->GetState(), Zel::itask::kSubmitted);
        EXPECT_EQ(task->GetResult(), 0);
        EXPECT_EQ(task->GetId(), 0u);
        EXPECT_EQ(task->Abort(), 1);
        EXPECT_TRUE(g_boxes.empty());
        delete task;
    }
    SetMessageBoxSink(previous);
}

// The states whose steps ran, recorded by a task in place of its own steps.
class StepLog {
public:
    std::vector<std::int32_t> steps;

protected:
    ~StepLog() = default;
};

// A task class whose four steps only record their state and succeed, so that the class's own
// host-side pattern alone decides which steps run.
template <class Task>
class Recording final : public Task, public StepLog {
public:
    std::int32_t OnTaskBegin() override { return Record(Zel::itask::kBegin); }
    std::int32_t OnTask() override { return Record(Zel::itask::kMain); }
    std::int32_t OnSubTask() override { return Record(Zel::itask::kSubTask); }
    std::int32_t OnTaskEnd() override { return Record(Zel::itask::kEnd); }

private:
    std::int32_t Record(std::int32_t state) {
        steps.push_back(state);
        return 1;
    }
};

// A clone task whose first begin step fails, as a failing clone step does.
class FailingCloneTask final : public Zel::ActorCloneTask, public StepLog {
public:
    std::int32_t OnTaskBegin() override {
        steps.push_back(kBegin);
        SetResult(19);
        return -1;
    }
};

Zel::itask* MakeRecording(std::int32_t type) {
    switch (type) {
        case Zel::kTextureCleanerTaskType:
            return new Recording<Zel::actor_texcleaner>;
        case Zel::kBodyPart5TaskType:
            return new Recording<Zel::LoadBodyPart5Task>;
        case Zel::kActorCloneTaskType:
            return new Recording<Zel::ActorCloneTask>;
        case Zel::kEffectLoadTaskType:
            return new Recording<Zel::EffectLoadingTask>;
        case Zel::kEffectDeepUnloadTaskType:
            return new Recording<Zel::EffectUnLoadDeeplyTask>;
        default:
            return Zel::CreateHostTask(type);
    }
}
Zel::itask* MakeFailingClone(std::int32_t type) {
    return type == Zel::kActorCloneTaskType ? new FailingCloneTask : Zel::CreateHostTask(type);
}

// Runs one task of the type to its end on an inline worker and answers the states its steps ran
// in (the finished task waits in the recycler, untouched until it is reused).
std::vector<std::int32_t> StepsOfOneRun(std::int32_t type, std::int32_t* result) {
    Zel::threadio worker(Zel::WorkerDriver::Inline);
    EXPECT_EQ(worker.Start(nullptr), 0);
    const std::uint32_t id = worker.CreateTask(type, nullptr, 0);
    auto* task = dynamic_cast<StepLog*>(worker.FindTask(id));
    if (!task)
        return {};
    *result = worker.SyncTask(id);
    std::vector<std::int32_t> steps = task->steps;
    worker.Stop();
    return steps;
}

TEST(HostTaskPatternTest, EachClassStepsThroughItsOwnPattern) {
    const Zel::TaskFactoryFunction previous = Zel::SetTaskFactory(&MakeRecording);
    struct Case {
        std::int32_t type;
        std::vector<std::int32_t> steps;
        std::int32_t result;
    };
    const Case cases[] = {
        {10, {3}, 0},           // one step
        {7, {3, 4}, 18},        // two steps; the host's side then finds no actor to take the part
        {9, {3, 3, 3, 3}, 0},   // repeated begin: clone steps 0 to 3
        {19, {3, 4, 5, 6}, 0},  // with sub-tasks, none in progress
        {21, {3, 4, 5, 6}, 0},
    };
    for (const Case& c : cases) {
        std::int32_t result = -5;
        EXPECT_EQ(StepsOfOneRun(c.type, &result), c.steps) << c.type;
        EXPECT_EQ(result, c.result) << c.type;
    }
    Zel::SetTaskFactory(previous);
}

TEST(HostTaskPatternTest, ACloneWhoseFirstStepFailsEndsAfterOneCycle) {
    const Zel::TaskFactoryFunction previous = Zel::SetTaskFactory(&MakeFailingClone);
    std::int32_t result = 0;
    EXPECT_EQ(StepsOfOneRun(9, &result), std::vector<std::int32_t>{3});
    EXPECT_EQ(result, 19);
    Zel::SetTaskFactory(previous);
}

TEST(HostTaskPatternTest, StatesOutsideThePatternAreReportedAndKept) {
    struct Case {
        std::int32_t type;
        std::int32_t state;
        const char* report;
    };
    const Case cases[] = {
        {6, 1, "model loader任务异常！"},
        {9, 7, "ActorCloneTask任务异常！步骤计数不对"},
        {9, 4, "ActorCloneTask任务异常！步骤计数不对,cur_step=4"},
        {19, 2, "EffectLoadingTask任务异常！"},
        {3, 8, "model loader任务异常！"},
    };
    for (const Case& c : cases) {
        Zel::itask* task = Zel::CreateHostTask(c.type);
        ASSERT_NE(task, nullptr);
        task->SetState(c.state);
        LogCapture log;
        EXPECT_EQ(task->OnMainThread(c.state), c.state) << c.type << " " << c.state;
        EXPECT_EQ(task->GetState(), c.state);
        EXPECT_EQ(log.Count(c.report), 1) << c.report;
        delete task;
    }
}

class ReleaseTaskWorkerTest : public CoreRootTest {
protected:
    Zel::SceneManager* Scene() { return G()->GetSceneManager(); }
};

TEST_F(ReleaseTaskWorkerTest, AReleaseTaskUnbindsOnlyWrappersStillBound) {
    Zel::InstallInterfaceBinders();
    Zel::Camera* camera = Scene()->CreateCamera();
    ZelI::IMoveObject* wrapper = camera->GetInterface();
    ASSERT_NE(wrapper, nullptr);
    const std::size_t cameras = Scene()->GetCameraCount();

    struct Case {
        ZelI::IObject* object;
        int errors;
    };
    const Case cases[] = {
        {nullptr, 1},  // nothing to release
        {wrapper, 0},  // bound: detached
        {wrapper, 0},  // already released: nothing
    };
    for (const Case& c : cases) {
        Zel::release_obj_task task;
        task.SetParameter(&c.object);
        LogCapture log;
        EXPECT_EQ(task.OnTaskBegin(), 1);
        EXPECT_EQ(task.GetResult(), 0);
        EXPECT_EQ(log.Count("== ERROR ==释放的IOBJECT无法转为下型"), c.errors);
    }
    EXPECT_FALSE(wrapper->IsValid());
    EXPECT_EQ(Scene()->GetCameraCount(), cameras - 1);
}

TEST_F(ReleaseTaskWorkerTest, AQueuedReleaseRunsOnLoadingThreadZero) {
    Zel::InstallInterfaceBinders();
    Zel::threadio* worker = Zel::threadmng::GetInstance()->GetOrCreateThread(0);
    ASSERT_NE(worker, nullptr);
    ASSERT_EQ(worker->Start(nullptr), 0);
    ASSERT_EQ(worker->GetDriver(), Zel::WorkerDriver::Thread);

    Zel::Camera* camera = Scene()->CreateCamera();
    ZelI::IMoveObject* wrapper = camera->GetInterface();
    const std::size_t cameras = Scene()->GetCameraCount();
    const std::size_t idle = worker->GetRecycler().GetCount();
    Zel::SetQueueMode(1);
    EXPECT_EQ(wrapper->Release(), 0);  // the task's result
    EXPECT_FALSE(wrapper->IsValid());
    EXPECT_EQ(Scene()->GetCameraCount(), cameras - 1);
    // The task went straight back to the recycler, past the finished list.
    EXPECT_EQ(worker->GetRecycler().GetCount(), idle + 1);
    EXPECT_EQ(worker->GetFinishedCount(), 0u);

    // Under the main lock (as inside a task step) the release is carried out directly: the
    // worker could not run a task while the caller holds that lock.
    Zel::Camera* other = Scene()->CreateCamera();
    ZelI::IMoveObject* held = other->GetInterface();
    {
        Zel::ScopedLock lock(Zel::threadmng::kMainLock);
        EXPECT_EQ(held->Release(), 0);
    }
    EXPECT_FALSE(held->IsValid());
    EXPECT_EQ(worker->GetRecycler().GetCount(), idle + 1);  // no task was made
    Zel::SetQueueMode(0);
    EXPECT_EQ(worker->Stop(), 0);
}

}  // namespace
}  // namespace ZelTest
