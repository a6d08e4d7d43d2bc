// The base of every task that runs on a worker thread (threadio) in lock-step with the host's
// pump. A task advances through step states: 1 submitted, 3 begin, 4 main, 5 sub-task, 6 end,
// 7 done, 29 cancelling. The worker runs one step (Run) while holding the thread manager's main
// lock; the host then runs OnMainThread, which chooses the next state. The two sides never run at
// the same time for one task, so task members need no lock of their own.
//
// Task objects are made by the task factory (TaskFactory.h), kept and reused by the worker's
// TaskRecycler, and never deleted by their users.
#pragma once

#include <atomic>
#include <cstdint>

namespace Zel {

class itask {
public:
    enum State : std::int32_t {
        kSubmitted = 1,
        kBegin = 3,
        kMain = 4,
        kSubTask = 5,
        kEnd = 6,
        kDone = 7,
        // Answered by state queries for an id that no list holds; never a task's own state.
        kUnknown = 9,
        kCancelling = 29,
    };
    // Result codes from this value up are failures of the task class.
    static constexpr std::int32_t kFirstFailureCode = 11;

    itask() = default;
    virtual ~itask();
    itask(const itask&) = delete;
    itask& operator=(const itask&) = delete;

    // Back to the initial state: id 0, type -1, not cancelled, priority 0, no sub-tasks,
    // state 1, result 0. Classes with members of their own clear them first.
    virtual void Reset();
    // The class's task type id (0-21).
    virtual std::int32_t GetType() const = 0;
    // Copies the class's parameter record into the task, so that the caller's record need not
    // outlive the call. Null copies nothing.
    virtual void SetParameter(const void* parameter);
    // Kept for the operation order; answers 0 in every class.
    virtual std::int32_t Reserved();
    // The four steps, run on the worker under the main lock: 1 when the work is done, 0 when a
    // sub-task step still has children to run, -1 on failure (the result code tells why).
    virtual std::int32_t OnTaskBegin();
    virtual std::int32_t OnTask();
    virtual std::int32_t OnSubTask();
    virtual std::int32_t OnTaskEnd();
    // Answers 1; a class may cut its work short here.
    virtual std::int32_t Abort();
    // Runs on the worker in state 29, once, for a task cancelled after it began.
    virtual void OnTaskCancel();
    // The class's name (static storage).
    virtual const char* GetName() const;
    // Runs on the host's thread when the task has finished, to hand its result to the caller.
    virtual void OnComplete();
    // One step on the worker: the step of the state (1 does nothing and answers 1; 29 runs
    // OnTaskCancel and answers 0). 7 and invalid states are reported and answer 7 and 0.
    virtual std::int32_t Run(std::int32_t state);
    // Host thread, after a step: writes the next state and answers it; 7 finishes the task.
    // The base serves one-step classes: 3, or a failure result, ends the task.
    virtual std::int32_t OnMainThread(std::int32_t state);
    // State 1 becomes 3; any other state goes through OnMainThread. Answers the new state.
    virtual std::int32_t Advance();

    // The names some callers use for two of the operations above.
    void SetParam(const void* parameter) { SetParameter(parameter); }
    void fill_content() { OnComplete(); }

    std::uint32_t GetId() const { return id_; }
    void SetId(std::uint32_t id) { id_ = id; }
    // The type given at creation (-1 after Reset); the recycler files the task by it.
    std::int32_t GetTypeField() const { return type_; }
    void SetTypeField(std::int32_t type) { type_ = type; }
    // Set once cancellation is asked for (host thread); cleared only by Reset. A step may read
    // it on the worker to stop early.
    bool IsCancelled() const { return cancelled_.load(std::memory_order_relaxed); }
    void SetCancelled(bool cancelled) { cancelled_.store(cancelled, std::memory_order_relaxed); }
    // 0 queue at the back, 1 run next, 2 run first.
    std::uint32_t GetPriority() const { return priority_; }
    void SetPriority(std::uint32_t priority) { priority_ = priority; }
    std::int32_t GetState() const { return state_; }
    void SetState(std::int32_t state) { state_ = state; }
    // Sub-steps still to do (material libraries, texture requests).
    std::int32_t GetSubTaskCount() const { return subTaskCount_; }
    void SetSubTaskCount(std::int32_t count) { subTaskCount_ = count; }
    // 0 while all is well; kFirstFailureCode and above: a failure of the class.
    std::int32_t GetResult() const { return result_; }
    void SetResult(std::int32_t result) { result_ = result; }

private:
    std::uint32_t id_ = 0;
    std::int32_t type_ = -1;
    std::atomic<bool> cancelled_{false};
    std::uint32_t priority_ = 0;
    std::int32_t state_ = kSubmitted;
    std::int32_t subTaskCount_ = 0;
    std::int32_t result_ = 0;
};

// Task types whose tasks skip OnComplete and the finished list: the release task (13) and the
// two effect unload tasks (20, 21).
bool TaskSkipsCompletion(std::int32_t type);

}  // namespace Zel
