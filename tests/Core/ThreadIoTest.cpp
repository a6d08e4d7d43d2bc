// The worker's lock-step, run under both drivers: the inline driver steps on the pumping thread,
// the thread driver on a real thread. A "cycle" is one pump that finds the worker parked, so the
// same scenario gives the same journal under both.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Core/ScopedLock.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Platform/Win32/Win32.h"
#include "RecordingTasks.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace {

using Zel::itask;
using Zel::threadio;
using Zel::threadmng;
using Zel::WorkerDriver;
using ZelTest::Journal;
using ZelTest::TaskParameter;
using Events = std::vector<std::string>;

// One cycle: pumps until the worker is parked and the pump has run.
void Cycle(threadio& worker) {
    for (long spins = 0; worker.Pump() != 0; ++spins) {
        ASSERT_LT(spins, 200000000L) << "the worker never parked";
        Sleep(0);
    }
}

void Cycles(threadio& worker, int n) {
    for (int i = 0; i < n; ++i) Cycle(worker);
}

// Cycles until nothing is submitted, active or waiting for cancellation.
void RunUntilQuiet(threadio& worker) {
    for (int i = 0; i < 1000; ++i) {
        const threadio::QueueSizes sizes = worker.GetQueueSizes();
        if (sizes.submitted + sizes.active + sizes.cancelled == 0)
            return;
        Cycle(worker);
    }
    FAIL() << "the queue never drained";
}

class WorkerTest : public ::testing::TestWithParam<WorkerDriver> {
protected:
    WorkerTest() : worker_(GetParam()) {}
    void SetUp() override { ASSERT_EQ(worker_.Start(nullptr), 0); }

    std::uint32_t Create(std::int32_t type, int tag, std::uint32_t priority = 0) {
        TaskParameter parameter;
        parameter.tag = tag;
        parameter.worker = &worker_;
        return worker_.CreateTask(type, &parameter, priority);
    }
    // The thread the worker's steps run on.
    DWORD WorkerThread() const {
        return GetParam() == WorkerDriver::Thread ? worker_.GetThreadId() : GetCurrentThreadId();
    }

    ZelTest::RecordingFactoryScope factory_;
    ZelTest::LogCapture log_;
    threadio worker_;
};

TEST_P(WorkerTest, OneStepTaskRunsItsHooksOnTheirThreadsInOrder) {
    TaskParameter parameter;
    parameter.tag = 5;
    const std::uint32_t id = worker_.CreateTask(ZelTest::kOneStepTask, &parameter, 0);
    ASSERT_NE(id, 0u);
    parameter.tag = 99;  // the task keeps its own copy of the record
    EXPECT_EQ(worker_.GetTaskState(id), itask::kSubmitted);

    Cycles(worker_, 3);  // moved into the active list; begun; finished on the host
    const std::vector<ZelTest::TaskEvent> events = Journal().Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].what, "begin");
    EXPECT_EQ(events[0].thread, WorkerThread());
    EXPECT_EQ(events[1].what, "complete");
    EXPECT_EQ(events[1].thread, GetCurrentThreadId());
    EXPECT_EQ(events[0].tag, 5);
    if (GetParam() == WorkerDriver::Thread) {
        EXPECT_NE(WorkerThread(), GetCurrentThreadId());
    }

    EXPECT_EQ(worker_.GetFinishedCount(), 1u);
    EXPECT_EQ(worker_.GetTaskState(id), itask::kDone);  // collected
    EXPECT_EQ(worker_.GetTaskState(id), itask::kUnknown);
    EXPECT_EQ(worker_.GetQueueSizes().recycled, 1u);
    EXPECT_TRUE(log_.Records().empty());
}

TEST_P(WorkerTest, MultiStepTaskAdvancesOneStepPerCycle) {
    const std::uint32_t id = Create(ZelTest::kFourStepTask, 1);
    // The state each pump leaves; the worker runs the step of that state before the next pump.
    for (std::int32_t state : {1, 3, 4, 5, 6}) {
        Cycle(worker_);
        ASSERT_EQ(worker_.FindTask(id)->GetState(), state);
    }
    Cycle(worker_);
    EXPECT_EQ(worker_.GetFinishedCount(), 1u);
    // Worker steps and main-thread parts alternate.
    EXPECT_EQ(Journal().Of(id, true),
              (Events{"begin", "@3", "main", "@4", "sub", "@5", "end", "@6", "complete"}));
    EXPECT_EQ(worker_.GetTaskState(id), itask::kDone);
}

TEST_P(WorkerTest, PriorityTwoRunsBeforeTheHeadsNextStepAndPriorityOneRightAfterTheHead) {
    Create(ZelTest::kFourStepTask, 1);
    Cycles(worker_, 3);  // the head has begun; its main step is under way
    Create(ZelTest::kOneStepTask, 2, 0);
    Create(ZelTest::kOneStepTask, 3, 1);
    Create(ZelTest::kOneStepTask, 4, 2);
    RunUntilQuiet(worker_);
    const Events expected = {"1:begin",    "1:main",  "4:begin",    "4:complete",
                             "1:sub",      "1:end",   "1:complete", "3:begin",
                             "3:complete", "2:begin", "2:complete"};
    EXPECT_EQ(Journal().Tagged(), expected);
}

TEST_P(WorkerTest, CancelAnswersAndEndsByWhereTheTaskIs) {
    const struct {
        const char* where;
        std::int32_t type;
        int cyclesBefore;
        std::int32_t answer;
        Events events;
    } cases[] = {
        {"submitted", ZelTest::kOneStepTask, 0, -1, {}},
        {"active, not begun", ZelTest::kOneStepTask, 1, 1, {}},
        {"running", ZelTest::kFourStepTask, 3, 2, {"begin", "main", "sub", "end", "cancel"}},
        {"finished", ZelTest::kOneStepTask, 3, 3, {"begin", "complete", "cancel"}},
    };
    for (const auto& c : cases) {
        Journal().Clear();
        const std::uint32_t id = Create(c.type, 0);
        Cycles(worker_, c.cyclesBefore);
        EXPECT_EQ(worker_.CancelTask(id), c.answer) << c.where;
        RunUntilQuiet(worker_);
        EXPECT_EQ(Journal().Of(id), c.events) << c.where;
        EXPECT_EQ(worker_.GetTaskState(id), itask::kUnknown) << c.where;
    }
    EXPECT_EQ(worker_.CancelTask(12345678), -1);
    EXPECT_TRUE(log_.Records().empty());
}

TEST_P(WorkerTest, CancellingTwiceWhileTheCancelRunsAnswersFour) {
    const std::uint32_t id = Create(ZelTest::kOneStepTask, 0);
    Cycles(worker_, 3);
    ASSERT_EQ(worker_.CancelTask(id), 3);
    Cycle(worker_);  // back in the active list in state 29
    EXPECT_EQ(worker_.CancelTask(id), 4);
    RunUntilQuiet(worker_);
    EXPECT_EQ(Journal().Of(id), (Events{"begin", "complete", "cancel"}));
}

TEST_P(WorkerTest, ReleaseTasksSkipCompletionAndTheFinishedList) {
    const std::uint32_t id = Create(ZelTest::kReleaseTask, 0);
    RunUntilQuiet(worker_);
    EXPECT_EQ(Journal().Of(id), (Events{"begin"}));
    EXPECT_EQ(worker_.GetFinishedCount(), 0u);
    EXPECT_EQ(worker_.GetQueueSizes().recycled, 1u);
    EXPECT_EQ(worker_.GetTaskState(id), itask::kUnknown);
}

TEST_P(WorkerTest, PumpCalledFromAStepOrFromCompletionAnswersMinusOne) {
    const std::uint32_t id = Create(ZelTest::kPumpingTask, 0);
    RunUntilQuiet(worker_);
    EXPECT_EQ(Journal().Of(id), (Events{"begin", "pump=-1", "complete", "pump=-1"}));
    EXPECT_EQ(worker_.GetTaskState(id), itask::kDone);
}

TEST_P(WorkerTest, FailureCodeComesBackFromTheStateQuery) {
    const std::uint32_t id = Create(ZelTest::kFailingTask, 0);
    RunUntilQuiet(worker_);
    EXPECT_EQ(worker_.GetTaskState(id), 12);
    EXPECT_EQ(worker_.GetTaskState(id), itask::kUnknown);
}

TEST_P(WorkerTest, RecycledTasksGetNewIds) {
    const std::uint32_t first = Create(ZelTest::kOneStepTask, 1);
    const itask* object = worker_.FindTask(first);
    RunUntilQuiet(worker_);
    ASSERT_EQ(worker_.GetTaskState(first), itask::kDone);
    const std::uint32_t second = Create(ZelTest::kOneStepTask, 2);
    EXPECT_NE(second, first);
    EXPECT_EQ(worker_.FindTask(second), object);
    EXPECT_EQ(worker_.GetQueueSizes().recycled, 0u);
    RunUntilQuiet(worker_);
    EXPECT_EQ(Journal().Of(second), (Events{"begin", "complete"}));
}

TEST_P(WorkerTest, TaskIdsWrapToOneAfterTheLargestButOne) {
    threadmng::GetInstance()->SetLastTaskId(0xFFFFFFFDu);
    const std::uint32_t ids[] = {Create(ZelTest::kOneStepTask, 0), Create(ZelTest::kOneStepTask, 0),
                                 Create(ZelTest::kOneStepTask, 0)};
    EXPECT_EQ(ids[0], 0xFFFFFFFEu);
    EXPECT_EQ(ids[1], 1u);
    EXPECT_EQ(ids[2], 2u);
    RunUntilQuiet(worker_);
    for (std::uint32_t id : ids) EXPECT_EQ(worker_.GetTaskState(id), itask::kDone) << id;
}

TEST_P(WorkerTest, TaskWithoutAClassIsReportedAndGetsNoId) {
    EXPECT_EQ(Create(ZelTest::kNoClassType, 0), 0u);
    EXPECT_EQ(log_.Count("致命错误！创建任务失败，bad alloc，io_type=7"), 1);
    EXPECT_EQ(worker_.GetQueueSizes().submitted, 0u);
}

TEST_P(WorkerTest, SyncTaskRunsATaskToItsEndOnTheCallingThread) {
    const std::uint32_t queued = Create(ZelTest::kOneStepTask, 1);
    const std::uint32_t synced = Create(ZelTest::kFourStepTask, 2);
    EXPECT_EQ(worker_.SyncTask(synced), 0);
    // Everything ahead of it ran first; it was collected from the finished list.
    EXPECT_EQ(Journal().Tagged(), (Events{"1:begin", "1:complete", "2:begin", "2:main", "2:sub",
                                          "2:end", "2:complete"}));
    EXPECT_EQ(worker_.GetTaskState(synced), itask::kUnknown);
    EXPECT_EQ(worker_.GetTaskState(queued), itask::kDone);

    EXPECT_EQ(worker_.SyncTask(Create(ZelTest::kFailingTask, 3)), 12);
    const std::uint32_t release = Create(ZelTest::kReleaseTask, 4);
    EXPECT_EQ(worker_.SyncTask(release), 0);
    EXPECT_EQ(worker_.GetQueueSizes().finished, 0u);
    EXPECT_TRUE(log_.Records().empty());
}

TEST_P(WorkerTest, SyncTaskRefusesUnknownCancelledAndLockedCases) {
    EXPECT_EQ(worker_.SyncTask(424242), -2);
    EXPECT_EQ(log_.Count("424242"), 1);

    const std::uint32_t cancelled = Create(ZelTest::kOneStepTask, 0);
    Cycle(worker_);
    ASSERT_EQ(worker_.CancelTask(cancelled), 1);
    EXPECT_EQ(worker_.SyncTask(cancelled), threadio::kRefused);

    log_.Clear();
    const std::uint32_t id = Create(ZelTest::kOneStepTask, 0);
    {
        Zel::ScopedLock mainLock(threadmng::kMainLock);
        EXPECT_EQ(worker_.SyncTask(id), threadio::kRefused);
    }
    EXPECT_EQ(log_.Count("must not be called while holding lock 3"), 1);
    EXPECT_EQ(worker_.SyncTask(id), 0);
}

TEST_P(WorkerTest, StopDrainsTheQueueAndEndsTheWorker) {
    const std::uint32_t a = Create(ZelTest::kFourStepTask, 1);
    const std::uint32_t b = Create(ZelTest::kOneStepTask, 2, 2);
    EXPECT_EQ(worker_.Stop(), 0);
    EXPECT_FALSE(worker_.IsStarted());
    EXPECT_EQ(worker_.GetThreadFlags(), 2);
    EXPECT_EQ(Journal().Of(a).back(), "complete");
    EXPECT_EQ(Journal().Of(b).back(), "complete");
    EXPECT_EQ(worker_.Stop(), 0);  // nothing left to stop
    // Started again, it runs new work.
    ASSERT_EQ(worker_.Start(nullptr), 0);
    const std::uint32_t c = Create(ZelTest::kOneStepTask, 3);
    EXPECT_EQ(worker_.SyncTask(c), 0);
    EXPECT_TRUE(log_.Records().empty());
}

TEST_P(WorkerTest, StopLeavesATaskStuckInAnInvalidStateAndSaysSo) {
    const std::uint32_t id = Create(ZelTest::kStuckTask, 0);
    Cycles(worker_, 4);  // begun; its main-thread part chose state 8; the next pump reports it
    EXPECT_EQ(log_.Count("子任务执行错误 id=" + std::to_string(id) + " ,step=8,err=0"), 1);
    EXPECT_EQ(worker_.Stop(), 0);
    EXPECT_EQ(log_.Count("left unfinished"), 1);
    EXPECT_EQ(log_.Count("task id=" + std::to_string(id)), 1);
    EXPECT_FALSE(worker_.IsStarted());
    EXPECT_EQ(worker_.GetQueueSizes().active, 1u);  // deleted with the worker
}

TEST_P(WorkerTest, StopRefusesWhileTheCallerHoldsTheMainLock) {
    Create(ZelTest::kOneStepTask, 0);
    {
        Zel::ScopedLock mainLock(threadmng::kMainLock);
        EXPECT_EQ(worker_.Stop(), threadio::kRefused);
        EXPECT_TRUE(worker_.IsStarted());
    }
    EXPECT_EQ(log_.Count("must not be called while holding lock 3"), 1);
    EXPECT_EQ(worker_.Stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(Drivers, WorkerTest,
                         ::testing::Values(WorkerDriver::Inline, WorkerDriver::Thread),
                         [](const auto& info) {
                             return info.param == WorkerDriver::Inline ? "Inline" : "Thread";
                         });

TEST(threadio, UnstartedWorkerIsNeitherPumpedNorStepped) {
    ZelTest::RecordingFactoryScope factory;
    ZelTest::LogCapture log;
    for (WorkerDriver driver : {WorkerDriver::Inline, WorkerDriver::Thread}) {
        threadio worker(driver);
        TaskParameter parameter;
        const std::uint32_t id = worker.CreateTask(ZelTest::kOneStepTask, &parameter, 0);
        EXPECT_EQ(worker.Pump(), -1);
        EXPECT_EQ(worker.SyncTask(id), threadio::kRefused);
        EXPECT_EQ(worker.Stop(), 0);
        EXPECT_EQ(worker.GetQueueSizes().submitted, 1u);  // deleted with the worker
    }
    EXPECT_TRUE(Journal().Events().empty());
}

// A worker thread blocked inside a step: the host's pump must leave everything alone, and a
// task pushed to the front meanwhile runs next without the blocked task's step running twice.
TEST(threadio, PumpDuringAStepAnswersMinusOneAndPushFrontKeepsTheSteppedTask) {
    ZelTest::RecordingFactoryScope factory;
    threadio worker(WorkerDriver::Thread);
    ASSERT_EQ(worker.Start(nullptr), 0);
    ZelTest::Gate gate;
    TaskParameter blocking;
    blocking.tag = 1;
    blocking.gate = &gate;
    worker.CreateTask(ZelTest::kBlockingTask, &blocking, 0);
    Cycles(worker, 2);
    gate.WaitUntilEntered();

    EXPECT_EQ(worker.Pump(), -1);
    EXPECT_EQ(worker.GetQueueSizes().active, 1u);
    TaskParameter front;
    front.tag = 2;
    EXPECT_NE(worker.PushFront(ZelTest::kOneStepTask, &front, 0), 0u);
    gate.Open();
    RunUntilQuiet(worker);
    EXPECT_EQ(Journal().Tagged(), (Events{"1:begin", "2:begin", "2:complete", "1:main", "1:sub",
                                          "1:end", "1:complete"}));
    EXPECT_EQ(worker.Stop(), 0);
}

TEST(threadio, IniFilesLowerTheWorkerThreadsPriority) {
    ZelTest::LogCapture log;
    const struct {
        bool lower, lowest;
        int priority;
    } cases[] = {{false, false, THREAD_PRIORITY_NORMAL},
                 {true, false, THREAD_PRIORITY_BELOW_NORMAL},
                 {false, true, THREAD_PRIORITY_LOWEST},
                 {true, true, THREAD_PRIORITY_LOWEST}};
    for (const auto& c : cases) {
        ZelTest::TempDir dir(true);
        if (c.lower)
            dir.Write("lower.ini", "");
        if (c.lowest)
            dir.Write("lowest.ini", "");
        threadio worker(WorkerDriver::Thread);
        ASSERT_EQ(worker.Start(nullptr), 0);
        EXPECT_EQ(worker.GetThreadPriority(), c.priority) << c.lower << c.lowest;
        EXPECT_EQ(worker.Stop(), 0);
    }
    EXPECT_EQ(log.Count("thread- priority=THREAD_PRIORITY_BELOW_NORMAL"), 2);
    EXPECT_EQ(log.Count("thread- priority=THREAD_PRIORITY_LOWEST"), 2);
}

TEST(threadmng, SettingsFromMultithreadIni) {
    const struct {
        const char* text;  // null: no file
        std::uint32_t time;
        std::int32_t maxnum, sleep;
    } cases[] = {
        {nullptr, 3, 800, -1},
        {"time=10", 10, 800, -1},
        {"time=25, maxnum=40, sleep=2\n", 25, 40, 2},
        {"maxnum=40", 3, 800, -1},  // the keys are read in their order only
    };
    for (const auto& c : cases) {
        ZelTest::TempDir dir;
        const std::string path = (dir.Path() / "multithread.ini").string();
        if (c.text)
            dir.Write("multithread.ini", c.text);
        const threadmng::Settings settings = threadmng::ReadSettings(path.c_str());
        EXPECT_EQ(settings.time, c.time) << (c.text ? c.text : "missing");
        EXPECT_EQ(settings.maxnum, c.maxnum) << (c.text ? c.text : "missing");
        EXPECT_EQ(settings.sleep, c.sleep) << (c.text ? c.text : "missing");
    }
}

TEST(threadmng, WorkerSlotsTaskQueriesAndTheReleaseQueue) {
    ZelTest::RecordingFactoryScope factory;
    threadmng* manager = threadmng::GetInstance();
    EXPECT_EQ(threadmng::CancelTask(2, 1), -1);  // slot 2 never holds a worker
    EXPECT_EQ(manager->GetOrCreateThread(2), nullptr);
    int object = 0;
    void* wrapper = &object;
    if (!manager->GetThread(0)) {
        EXPECT_EQ(Zel::QueueReleaseTask(&wrapper), 0xFFFFFFFFu);
        EXPECT_EQ(manager->GetTaskState(1), itask::kUnknown);
    }
    threadio* worker = manager->GetOrCreateThread(0);
    ASSERT_NE(worker, nullptr);
    EXPECT_EQ(manager->GetOrCreateThread(0), worker);
    EXPECT_EQ(manager->GetThread(0), worker);
    ASSERT_EQ(worker->Start(nullptr), 0);
    EXPECT_EQ(worker->Start(nullptr), 0);  // once

    const std::uint32_t id = Zel::QueueReleaseTask(&wrapper);
    ASSERT_NE(id, 0u);
    const auto* task = static_cast<const ZelTest::RecordingTask*>(worker->FindTask(id));
    EXPECT_EQ(task->Object(), &object);
    EXPECT_EQ(task->GetType(), ZelTest::kReleaseTask);
    EXPECT_EQ(worker->GetQueueSizes().submitted, 1u);
    EXPECT_EQ(threadmng::CancelTask(0, id), -1);  // still submitted: recycled at once
    EXPECT_EQ(manager->GetTaskState(id), itask::kUnknown);
    EXPECT_EQ(worker->Stop(), 0);
}

// Stands in for the host interface's release task: its first step takes the wrapper through the
// caller's pointer, after the queueing call has long returned, and clears that pointer.
std::vector<void*> g_releasedWrappers;
class ClearingReleaseTask final : public itask {
public:
    std::int32_t GetType() const override { return 13; }
    void SetParameter(const void* parameter) override {
        slot_ = static_cast<void**>(const_cast<void*>(parameter));
    }
    std::int32_t OnTaskBegin() override {
        g_releasedWrappers.push_back(*slot_);
        *slot_ = nullptr;
        return 1;
    }
    void Reset() override {
        slot_ = nullptr;
        itask::Reset();
    }
    void** Slot() const { return slot_; }

private:
    void** slot_ = nullptr;
};

itask* MakeClearingReleaseTask(std::int32_t type) {
    return type == 13 ? new ClearingReleaseTask : nullptr;
}

struct WrapperHolder {
    int wrapper = 0;
    void* pointer = &wrapper;
};

std::uint32_t QueueReleaseOf(WrapperHolder& holder) {
    return Zel::QueueReleaseTask(&holder.pointer);
}

TEST(threadmng, TheReleaseTaskClearsTheCallersPointerToTheWrapper) {
    const Zel::TaskFactoryFunction previous = Zel::SetTaskFactory(&MakeClearingReleaseTask);
    threadio* worker = threadmng::GetInstance()->GetOrCreateThread(0);
    ASSERT_EQ(worker->Start(nullptr), 0);
    g_releasedWrappers.clear();
    WrapperHolder holder;
    const std::uint32_t id = QueueReleaseOf(holder);
    ASSERT_NE(id, 0u);
    const auto* task = static_cast<const ClearingReleaseTask*>(worker->FindTask(id));
    ASSERT_EQ(task->Slot(), &holder.pointer);
    EXPECT_EQ(worker->Stop(), 0);  // runs the task
    EXPECT_EQ(g_releasedWrappers, (std::vector<void*>{&holder.wrapper}));
    EXPECT_EQ(holder.pointer, nullptr);
    Zel::SetTaskFactory(previous);
}

}  // namespace
