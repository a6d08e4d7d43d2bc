// One worker that runs tasks (itask) in lock-step with the host's thread.
//
// The worker owns four task lists: submitted (queued since the last pump), active (the head is
// the task being worked on), finished (completed on the host, waiting to be asked for) and
// cancel (cancellations the next pump carries out). Work advances in cycles: the worker runs one
// step of the head task under the thread manager's main lock (lock 3), counts the step and
// parks; the host's Pump then runs the task's main-thread part, moves submitted tasks into the
// active list by priority, carries out cancellations and releases the worker for its next step.
//
// Two drivers run the worker's side. The thread driver is a real thread waiting on an
// auto-reset event. The inline driver runs the step on the thread that releases the worker,
// inside Pump, which makes the lock-step deterministic.
//
// Threads: everything but the worker's own loop is for the host's thread. The worker reads only
// the head of the active list, under the worker's lock; the host changes the active list under
// the same lock. The other three lists belong to the host's thread alone.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <list>

#include "Core/TaskRecycler.h"
#include "Core/ithread.h"
#include "Core/locksection.h"
#include "Platform/Win32/Win32Types.h"

namespace Zel {

enum class WorkerDriver {
    Thread,
    Inline,
};

class threadio final : public ithread {
public:
    // Sizes of the four lists and of the recycler.
    struct QueueSizes {
        std::size_t submitted = 0;
        std::size_t active = 0;
        std::size_t finished = 0;
        std::size_t cancelled = 0;
        std::size_t recycled = 0;
    };

    // Pump cycles that Stop and DoSync run at most while waiting for the queue to drain; a
    // task needs a handful, so a queue that has not drained by then holds one that never ends.
    static constexpr std::size_t kDrainCycleLimit = 100000;
    // Answered by operations that refuse to run (nested pump, main lock held, worker not
    // started, task gone).
    static constexpr std::int32_t kRefused = -1;

    explicit threadio(WorkerDriver driver = WorkerDriver::Thread);
    // Stops the worker (Stop), then deletes the tasks still in its lists and the idle ones.
    ~threadio() override;
    threadio(const threadio&) = delete;
    threadio& operator=(const threadio&) = delete;

    // Starts the worker: 0 on success or when it runs already, 1 when the thread cannot be
    // made. The thread driver lowers the thread's priority when "./lower.ini" (below normal) or
    // "./lowest.ini" (lowest) exists. Clears the recycler.
    std::int32_t Start(void* argument) override;
    // The worker thread's body: step, count the step, wait for the event, while running.
    std::int32_t WorkerLoop() override;
    // Pumps until the submitted and active lists are empty, a task is stuck in an invalid
    // state or kDrainCycleLimit cycles have run (the tasks left are logged and stay in the
    // lists), then ends the worker (joining the thread). A worker that was never started is not
    // pumped. Answers 0; kRefused, doing nothing, when called from inside a pump or while the
    // caller holds the main lock (the worker may need it to finish its step).
    std::int32_t Stop() override;
    // One cycle on the host's thread. Answers -1 while the worker is inside a step (or not
    // started) and for a nested call (from a task's main-thread hook); else 0.
    std::int32_t Pump() override;
    // Runs the task of that id to its end on this thread (DoSync). -2 when no list holds it.
    std::int32_t SyncTask(std::uint32_t id) override;
    // Pumps until the task is done and answers its result code, after collecting it from the
    // finished list. kRefused when the task is in no queue, the worker is not started, the
    // caller is inside a pump or holds the main lock, the task is cancelled or leaves every list
    // (the task object is then not touched again), or the queue does not drain.
    std::int32_t DoSync(itask* task) override;
    // Searches the submitted, active, finished and cancel lists in that order; null when absent.
    itask* FindTask(std::uint32_t id) override;
    // Kept for the operation order: answer 0 and do nothing.
    std::int32_t Reserved0() override { return 0; }
    std::uint32_t GetReservedWord() override { return 0; }
    void SetReserved(std::int32_t) override {}
    std::int32_t Reserved1() override { return 0; }
    // Length of the active list.
    std::uint32_t GetActiveCount() override;
    // Makes a task of the type (from the recycler or the task factory) with a new id, a copy of
    // the parameter record and the priority, and appends it to the submitted list. Answers the
    // id; 0 when no task can be made (reported).
    std::uint32_t CreateTask(std::int32_t type, const void* parameter,
                             std::uint32_t priority) override;
    // Pumps once, then: a finished task is collected (to the recycler) and answers its result
    // code when that is a failure, else 7; an active or submitted task answers its state; any
    // other id 9.
    std::int32_t GetTaskState(std::uint32_t id) override;
    // 4 already cancelling; 1 active, not begun (dropped before it begins); 2 active and begun
    // (it finishes its current work, then runs OnTaskCancel); 3 finished (moved to the cancel
    // list); -1 submitted (recycled at once) or unknown.
    std::int32_t CancelTask(std::uint32_t id) override;
    // Makes a task as CreateTask does and puts it at the front of the active list, so that it
    // runs next. The task whose step may be running meanwhile still gets its main-thread part
    // before its next step. Answers the id; 0 when no task can be made.
    std::uint32_t PushFront(std::int32_t type, const void* parameter,
                            std::uint32_t priority) override;
    // Appends an existing task to the submitted list; answers 0.
    std::int32_t QueueTask(itask* task);

    std::uint32_t GetFinishedCount() const { return static_cast<std::uint32_t>(finished_.size()); }
    QueueSizes GetQueueSizes();
    WorkerDriver GetDriver() const { return driver_; }
    bool IsStarted() const { return started_.load(std::memory_order_acquire); }
    // Bit 1 set by Start; 2 once the worker's loop has ended.
    std::int32_t GetThreadFlags() const { return threadFlags_.load(std::memory_order_acquire); }
    // The thread driver's thread priority (THREAD_PRIORITY_*); normal without a thread.
    int GetThreadPriority() const;
    // The worker thread's id; 0 without a thread.
    DWORD GetThreadId() const { return threadId_; }
    void* GetStartArgument() const { return startArgument_; }
    TaskRecycler& GetRecycler() { return recycler_; }

private:
    static unsigned ThreadEntry(void* worker);

    // The worker's side of one cycle: run the head's step (when its state is runnable) under
    // the main lock, remember which task stepped, count the step.
    void WorkerStep();
    // Lets the worker run its next step: the event, or the step itself for the inline driver.
    void ReleaseWorker();
    void ProcessSteppedTask();
    void FinishTask(itask* task, std::int32_t state);
    void MoveSubmittedTasks();
    void MoveCancelledTasks();
    itask* MakeTask(std::int32_t type, const void* parameter, std::uint32_t priority);
    void EraseActive(itask* task);
    bool HoldsTask(const itask* task) const;
    // The head of the active list is in a state that no cycle changes.
    bool HeadIsStuck() const;
    // Pumps until both queues are empty, a task is stuck or the cycle limit is reached.
    void Drain();
    void EndWorker();
    // Reports a caller that holds the main lock; answers whether it does.
    bool RefuseUnderMainLock(const char* function) const;
    void DeleteQueuedTasks();

    const WorkerDriver driver_;
    HANDLE thread_ = nullptr;
    HANDLE event_ = nullptr;
    // +1 by the worker after each step, -1 by the pump when it releases the worker: 1 means
    // the worker is parked, 0 that it is inside (or about to run) a step.
    std::atomic<std::int32_t> stepCounter_{0};
    std::list<itask*> active_;
    std::list<itask*> finished_;
    std::list<itask*> cancelled_;
    std::list<itask*> submitted_;
    // Result of the worker's last step; -2 when no step ran.
    std::atomic<std::int32_t> stepResult_{-2};
    // The task whose step the worker ran last (null when none ran); the pump gives its
    // main-thread part to this task even when PushFront has put another in front of it.
    itask* stepped_ = nullptr;
    // Guards the active list and stepped_ between the worker and the host.
    locksection lock_;
    DWORD threadId_ = 0;
    std::atomic<std::int32_t> running_{1};
    std::atomic<std::int32_t> threadFlags_{0};
    std::atomic<bool> started_{false};
    std::atomic<bool> pumping_{false};
    void* startArgument_ = nullptr;
    TaskRecycler recycler_;
    // The task DoSync waits for, and how it finished (set by FinishTask).
    const itask* syncTask_ = nullptr;
    bool syncDone_ = false;
    std::int32_t syncResult_ = 0;
    std::int32_t syncType_ = -1;
};

}  // namespace Zel
