#include "Core/threadio.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "Core/ErrorReport.h"
#include "Core/LogDispatch.h"
#include "Core/ScopedLock.h"
#include "Core/SectionGuard.h"
#include "Core/Timer.h"
#include "Core/itask.h"
#include "Core/threadmng.h"
#include "Platform/Win32/Win32.h"

namespace Zel {
namespace {

constexpr std::int32_t kNoStep = -2;
constexpr std::int32_t kTaskUnknown = -2;
constexpr double kSlowSyncMs = 500.0;

// States in which the worker runs the head's step.
bool IsRunnable(std::int32_t state) {
    return (state >= 0 && state <= itask::kEnd) || state == itask::kCancelling;
}

// States from which some cycle moves a task on: 1 and the steps 3-6 advance, 7 and 29 finish.
bool CanProgress(std::int32_t state) {
    return state == itask::kSubmitted || (state >= itask::kBegin && state <= itask::kDone) ||
           state == itask::kCancelling;
}

bool FileExistsForReading(const char* path) {
    std::FILE* file = fopen_resolved(path, "r");
    if (!file)
        return false;
    std::fclose(file);
    return true;
}

itask* FindIn(const std::list<itask*>& list, std::uint32_t id) {
    auto it =
        std::find_if(list.begin(), list.end(), [id](const itask* t) { return t->GetId() == id; });
    return it == list.end() ? nullptr : *it;
}

bool Contains(const std::list<itask*>& list, const itask* task) {
    return std::find(list.begin(), list.end(), task) != list.end();
}

}  // namespace

threadio::threadio(WorkerDriver driver) : driver_(driver) {}

threadio::~threadio() {
    if (IsStarted()) {
        // A stop refused because the caller holds the main lock has been reported; the worker
        // must end before its object goes, so the destructor stops it anyway.
        if (Stop() != 0)
            EndWorker();
    }
    DeleteQueuedTasks();
}

std::int32_t threadio::Start(void* argument) {
    if (IsStarted())
        return 0;
    startArgument_ = argument;
    stepCounter_.store(0);
    stepResult_.store(kNoStep);
    running_.store(1);
    threadFlags_.store(0);
    {
        SectionGuard guard(lock_);
        stepped_ = nullptr;
    }
    if (driver_ == WorkerDriver::Thread) {
        event_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        unsigned id = 0;
        thread_ = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &ThreadEntry, this, 0, &id));
        if (!thread_) {
            CloseHandle(event_);
            event_ = nullptr;
            return 1;
        }
        threadId_ = id;
        if (FileExistsForReading("./lower.ini")) {
            LogTyped(LOG_ENGINE_INIT, "thread- priority=THREAD_PRIORITY_BELOW_NORMAL");
            SetThreadPriority(thread_, THREAD_PRIORITY_BELOW_NORMAL);
        }
        if (FileExistsForReading("./lowest.ini")) {
            LogTyped(LOG_ENGINE_INIT, "thread- priority=THREAD_PRIORITY_LOWEST");
            SetThreadPriority(thread_, THREAD_PRIORITY_LOWEST);
        }
    } else {
        // The inline worker's first pass of its loop: nothing to step yet, so it parks.
        WorkerStep();
    }
    threadFlags_.fetch_or(1);
    started_.store(true, std::memory_order_release);
    recycler_.Clear();
    return 0;
}

unsigned threadio::ThreadEntry(void* worker) {
    threadio* self = static_cast<threadio*>(worker);
    self->WorkerLoop();
    self->threadFlags_.store(2, std::memory_order_release);
    return 0;
}

std::int32_t threadio::WorkerLoop() {
    while (running_.load(std::memory_order_acquire) != 0) {
        WorkerStep();
        WaitForSingleObject(event_, INFINITE);
    }
    return 0;
}

void threadio::WorkerStep() {
    stepResult_.store(kNoStep, std::memory_order_relaxed);
    itask* head = nullptr;
    std::int32_t state = 0;
    {
        SectionGuard guard(lock_);
        stepped_ = nullptr;
        if (!active_.empty() && IsRunnable(active_.front()->GetState())) {
            head = active_.front();
            state = head->GetState();
            stepped_ = head;
        }
    }
    if (head) {
        ScopedLock mainLock(threadmng::kMainLock);
        stepResult_.store(head->Run(state), std::memory_order_relaxed);
    }
    stepCounter_.fetch_add(1, std::memory_order_acq_rel);
}

void threadio::ReleaseWorker() {
    stepCounter_.fetch_sub(1, std::memory_order_acq_rel);
    if (driver_ == WorkerDriver::Inline)
        WorkerStep();
    else
        SetEvent(event_);
}

std::int32_t threadio::Pump() {
    if (pumping_.exchange(true, std::memory_order_acq_rel))
        return kRefused;
    struct PumpingFlag {
        std::atomic<bool>& flag;
        ~PumpingFlag() { flag.store(false, std::memory_order_release); }
    } pumping{pumping_};

    const std::int32_t counter = stepCounter_.load(std::memory_order_acquire);
    if (counter == 0)
        return kRefused;
    if (counter > 1 || counter < 0)
        ReportError("计数器计数错误 ,counter = %d", counter);
    if (stepResult_.load(std::memory_order_relaxed) == -1 && active_.empty())
        ReportError("当前任务为空，可子任务执行状态不为0");
    stepResult_.store(kNoStep, std::memory_order_relaxed);

    if (!active_.empty())
        ProcessSteppedTask();
    MoveSubmittedTasks();
    MoveCancelledTasks();
    if (active_.empty())
        return 0;
    ReleaseWorker();
    return 0;
}

void threadio::ProcessSteppedTask() {
    itask* task;
    {
        SectionGuard guard(lock_);
        task = stepped_ ? stepped_ : active_.front();
        stepped_ = nullptr;
    }
    const std::int32_t state = task->GetState();
    if (state == itask::kSubmitted) {
        if (task == active_.front()) {
            // Cancelled tasks that have not begun leave from the head without running.
            bool dropped = false;
            while (!active_.empty() && active_.front()->GetState() == itask::kSubmitted &&
                   active_.front()->IsCancelled()) {
                itask* front = active_.front();
                EraseActive(front);
                recycler_.Push(front);
                dropped = true;
            }
            if (dropped)
                return;
        } else if (task->IsCancelled()) {
            EraseActive(task);
            recycler_.Push(task);
            return;
        }
        task->SetState(itask::kBegin);
        return;
    }
    if (state == itask::kCancelling) {
        FinishTask(task, state);
    } else if (state == itask::kDone) {
        ReportError("不太可能出现 task id=%u,type=%s", task->GetId(), task->GetName());
        FinishTask(task, state);
    } else if (state > itask::kEnd) {
        ReportError("子任务执行错误 id=%u ,step=%d,err=%d", task->GetId(), state,
                    task->GetResult());
    } else if (task->OnMainThread(state) == itask::kDone) {
        FinishTask(task, state);
    }
}

void threadio::FinishTask(itask* task, std::int32_t state) {
    EraseActive(task);
    if (state != itask::kCancelling && task->IsCancelled()) {
        cancelled_.push_back(task);
        return;
    }
    if (state != itask::kCancelling && task == syncTask_) {
        syncDone_ = true;
        syncResult_ = task->GetResult();
        syncType_ = task->GetType();
    }
    if (state != itask::kCancelling && !TaskSkipsCompletion(task->GetType())) {
        task->OnComplete();
        finished_.push_back(task);
    } else {
        recycler_.Push(task);
    }
}

void threadio::MoveSubmittedTasks() {
    if (submitted_.empty())
        return;
    SectionGuard guard(lock_);
    for (itask* task : submitted_) {
        const std::uint32_t priority = task->GetPriority();
        if (priority == 2)
            active_.push_front(task);
        else if (priority == 1 && !active_.empty())
            active_.insert(std::next(active_.begin()), task);
        else
            active_.push_back(task);
    }
    submitted_.clear();
}

void threadio::MoveCancelledTasks() {
    if (cancelled_.empty())
        return;
    SectionGuard guard(lock_);
    for (itask* task : cancelled_) {
        if (!task->IsCancelled())
            ReportError("cancel任务状态不对 id=%u", task->GetId());
        task->SetCancelled(true);
        task->SetState(itask::kCancelling);
        active_.push_back(task);
    }
    cancelled_.clear();
}

void threadio::EraseActive(itask* task) {
    SectionGuard guard(lock_);
    active_.remove(task);
    if (stepped_ == task)
        stepped_ = nullptr;
}

std::int32_t threadio::SyncTask(std::uint32_t id) {
    itask* task = FindTask(id);
    if (!task) {
        ReportError("threadio::SyncTask: task id=%u is in no queue", id);
        return kTaskUnknown;
    }
    if (task->GetState() != itask::kSubmitted)
        ReportError(
            "threadio::SyncTask: task id=%u is not first in the queue or not in its initial state",
            id);
    return DoSync(task);
}

std::int32_t threadio::DoSync(itask* task) {
    if (active_.empty() && submitted_.empty()) {
        ReportError("同步执行的任务在队列中不存在！");
        return kRefused;
    }
    if (!task || !HoldsTask(task)) {
        ReportError("同步执行的任务在队列中不存在！");
        return kRefused;
    }
    if (pumping_.load(std::memory_order_acquire)) {
        ReportError("threadio::DoSync called from inside a pump; task id=%u", task->GetId());
        return kRefused;
    }
    if (!IsStarted()) {
        ReportError("threadio::DoSync: the worker is not started; task id=%u", task->GetId());
        return kRefused;
    }
    if (RefuseUnderMainLock("threadio::DoSync"))
        return kRefused;

    const std::uint32_t id = task->GetId();
    Timer timer;
    timer.Reset();
    syncTask_ = task;
    syncDone_ = false;
    std::int32_t result = kRefused;
    std::int32_t type = -1;
    bool done = false;
    // The task is done once the pump has finished it, or when it waits in the finished list.
    auto reachedItsEnd = [&] {
        if (syncDone_) {
            result = syncResult_;
            type = syncType_;
            return true;
        }
        if (Contains(finished_, task) && task->GetState() == itask::kDone) {
            result = task->GetResult();
            type = task->GetType();
            return true;
        }
        return false;
    };
    std::size_t cycles = 0;
    while (!(done = reachedItsEnd())) {
        // Cancelled or dropped: the task will not reach its end, and once it has left every
        // list it may already serve another request.
        if (!HoldsTask(task) || task->IsCancelled())
            break;
        if (cycles >= kDrainCycleLimit || HeadIsStuck()) {
            ReportError("threadio::DoSync: task id=%u did not finish", id);
            break;
        }
        if (Pump() == 0)
            ++cycles;
        else
            Sleep(0);
    }
    syncTask_ = nullptr;
    syncDone_ = false;

    timer.Tick();
    const double ms = static_cast<double>(timer.GetElapsed()) * 1000.0;
    if (ms > kSlowSyncMs)
        LogTyped(LOG_TIME_PROFILE_INFO, "do_sync() may cause stuck, time : %.1f", ms);
    if (done && !TaskSkipsCompletion(type))
        GetTaskState(id);
    return result;
}

itask* threadio::FindTask(std::uint32_t id) {
    for (const std::list<itask*>* list : {&submitted_, &active_, &finished_, &cancelled_}) {
        if (itask* task = FindIn(*list, id))
            return task;
    }
    return nullptr;
}

bool threadio::HoldsTask(const itask* task) const {
    return Contains(submitted_, task) || Contains(active_, task) || Contains(finished_, task) ||
           Contains(cancelled_, task);
}

std::uint32_t threadio::GetActiveCount() {
    SectionGuard guard(lock_);
    return static_cast<std::uint32_t>(active_.size());
}

itask* threadio::MakeTask(std::int32_t type, const void* parameter, std::uint32_t priority) {
    itask* task = recycler_.Pop(type);
    if (!task) {
        ReportError("致命错误！创建任务失败，bad alloc，io_type=%d", type);
        return nullptr;
    }
    task->SetId(threadmng::GetInstance()->NewTaskId());
    task->SetTypeField(type);
    task->SetParameter(parameter);
    task->SetPriority(priority);
    return task;
}

std::uint32_t threadio::CreateTask(std::int32_t type, const void* parameter,
                                   std::uint32_t priority) {
    itask* task = MakeTask(type, parameter, priority);
    if (!task)
        return 0;
    submitted_.push_back(task);
    return task->GetId();
}

std::uint32_t threadio::PushFront(std::int32_t type, const void* parameter,
                                  std::uint32_t priority) {
    itask* task = MakeTask(type, parameter, priority);
    if (!task)
        return 0;
    SectionGuard guard(lock_);
    active_.push_front(task);
    return task->GetId();
}

std::int32_t threadio::QueueTask(itask* task) {
    if (task)
        submitted_.push_back(task);
    return 0;
}

std::int32_t threadio::GetTaskState(std::uint32_t id) {
    Pump();
    if (itask* task = FindIn(finished_, id)) {
        if (task->GetState() != itask::kDone)
            return task->GetState();
        finished_.remove(task);
        const std::int32_t result = task->GetResult();
        recycler_.Push(task);
        return result >= itask::kFirstFailureCode ? result : itask::kDone;
    }
    if (itask* task = FindIn(active_, id))
        return task->GetState();
    if (itask* task = FindIn(submitted_, id))
        return task->GetState();
    return itask::kUnknown;
}

std::int32_t threadio::CancelTask(std::uint32_t id) {
    if (itask* task = FindIn(active_, id)) {
        if (task->GetState() == itask::kCancelling)
            return 4;
        task->SetCancelled(true);
        return task->GetState() == itask::kSubmitted ? 1 : 2;
    }
    if (itask* task = FindIn(finished_, id)) {
        if (task->GetState() == itask::kCancelling || task->IsCancelled())
            return 4;
        task->SetCancelled(true);
        finished_.remove(task);
        cancelled_.push_back(task);
        return 3;
    }
    if (itask* task = FindIn(submitted_, id)) {
        submitted_.remove(task);
        recycler_.Push(task);
    }
    return -1;
}

threadio::QueueSizes threadio::GetQueueSizes() {
    QueueSizes sizes;
    sizes.submitted = submitted_.size();
    sizes.active = GetActiveCount();
    sizes.finished = finished_.size();
    sizes.cancelled = cancelled_.size();
    sizes.recycled = recycler_.GetCount();
    return sizes;
}

int threadio::GetThreadPriority() const {
    return thread_ ? ::GetThreadPriority(thread_) : THREAD_PRIORITY_NORMAL;
}

bool threadio::HeadIsStuck() const {
    return !active_.empty() && !CanProgress(active_.front()->GetState());
}

void threadio::Drain() {
    std::size_t cycles = 0;
    while ((!submitted_.empty() || !active_.empty()) && cycles < kDrainCycleLimit &&
           !HeadIsStuck()) {
        if (Pump() == 0)
            ++cycles;
        else
            Sleep(0);
    }
    if (submitted_.empty() && active_.empty())
        return;
    LogWarning("threadio::Stop: %zu submitted and %zu active tasks left unfinished",
               submitted_.size(), active_.size());
    for (const std::list<itask*>* list : {&active_, &submitted_}) {
        for (const itask* task : *list)
            LogWarning("threadio::Stop: task id=%u type=%d state=%d (%s) left", task->GetId(),
                       task->GetType(), task->GetState(), task->GetName());
    }
}

std::int32_t threadio::Stop() {
    if (!IsStarted())
        return 0;
    if (pumping_.load(std::memory_order_acquire)) {
        ReportError("threadio::Stop called from inside a pump");
        return kRefused;
    }
    if (RefuseUnderMainLock("threadio::Stop"))
        return kRefused;
    Drain();
    EndWorker();
    return 0;
}

void threadio::EndWorker() {
    if (driver_ == WorkerDriver::Thread && thread_) {
        // Signal only a parked worker: a signal sent while it still holds the previous one
        // would be lost, and the worker would wait for ever.
        while (stepCounter_.load(std::memory_order_acquire) == 0) Sleep(0);
        running_.store(0, std::memory_order_release);
        SetEvent(event_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(event_);
        thread_ = nullptr;
        event_ = nullptr;
        threadId_ = 0;
    } else {
        running_.store(0, std::memory_order_release);
        threadFlags_.store(2, std::memory_order_release);
    }
    started_.store(false, std::memory_order_release);
}

bool threadio::RefuseUnderMainLock(const char* function) const {
    locksection* mainLock = threadmng::GetInstance()->GetLock(threadmng::kMainLock);
    if (!mainLock->IsHeldByCurrentThread())
        return false;
    std::string message;
    std::string location;
    FormatAssertMessage(message, location, __FILE__, __LINE__, function,
                        "%s must not be called while holding lock 3: the worker needs it",
                        function);
    ReportAssert(message, location);
    return true;
}

void threadio::DeleteQueuedTasks() {
    for (std::list<itask*>* list : {&submitted_, &active_, &finished_, &cancelled_}) {
        for (itask* task : *list) delete task;
        list->clear();
    }
    recycler_.Clear();
}

}  // namespace Zel
