// Task types for the worker tests: each records what ran, on which thread, in one journal. They
// stand in for the task classes of the host interface, whose factory is installed the same way.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "Core/TaskFactory.h"
#include "Core/itask.h"
#include "Core/threadio.h"
#include "Platform/Win32/Win32Sync.h"

namespace ZelTest {

enum RecordingTaskType : std::int32_t {
    kOneStepTask = 0,   // OnTaskBegin only (the base OnMainThread)
    kFourStepTask = 1,  // begin, main, sub-task and end steps
    kFailingTask = 2,   // OnTaskBegin fails with result 12
    kBlockingTask = 3,  // four steps; OnTaskBegin waits at the parameter's gate
    kPumpingTask = 4,   // pumps its worker from OnTaskBegin and from OnComplete
    kStuckTask = 5,     // its main-thread part leaves it in the invalid state 8
    kReleaseTask = 13,  // skips OnComplete and the finished list; the parameter is the address
                        // of an object pointer
    kNoClassType = 7,   // the factory makes nothing
};

// A step that waits until the test opens the gate; the test waits until the step is inside.
class Gate {
public:
    void Enter() {
        std::unique_lock<std::mutex> lock(mutex_);
        entered_ = true;
        cv_.notify_all();
        cv_.wait(lock, [this] { return open_; });
    }
    void WaitUntilEntered() {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [this] { return entered_; });
    }
    void Open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        cv_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool entered_ = false;
    bool open_ = false;
};

// The record each task copies when it is made.
struct TaskParameter {
    int tag = 0;
    Zel::threadio* worker = nullptr;  // kPumpingTask
    Gate* gate = nullptr;             // kBlockingTask
};

struct TaskEvent {
    std::uint32_t id;
    int tag;
    // "begin", "main", "sub", "end", "cancel", "complete", "pump=<answer>", and "@<state>" for
    // a multi-step task's main-thread part
    std::string what;
    DWORD thread;
};

class TaskJournal {
public:
    void Add(std::uint32_t id, int tag, std::string what) {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back({id, tag, std::move(what), GetCurrentThreadId()});
    }
    std::vector<TaskEvent> Events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    // The events of one task, in order, as "what" texts; main-thread marks ("@<state>") only
    // when asked for.
    std::vector<std::string> Of(std::uint32_t id, bool withMainThread = false) const {
        std::vector<std::string> out;
        for (const TaskEvent& e : Events())
            if (e.id == id && (withMainThread || !IsMainThreadMark(e)))
                out.push_back(e.what);
        return out;
    }
    // Every event but the main-thread marks as "<tag>:<what>", in order.
    std::vector<std::string> Tagged() const {
        std::vector<std::string> out;
        for (const TaskEvent& e : Events())
            if (!IsMainThreadMark(e))
                out.push_back(std::to_string(e.tag) + ":" + e.what);
        return out;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.clear();
    }

private:
    static bool IsMainThreadMark(const TaskEvent& e) { return !e.what.empty() && e.what[0] == '@'; }

    mutable std::mutex mutex_;
    std::vector<TaskEvent> events_;
};

inline TaskJournal& Journal() {
    static TaskJournal journal;
    return journal;
}

class RecordingTask : public Zel::itask {
public:
    explicit RecordingTask(std::int32_t type) : type_(type) {}

    std::int32_t GetType() const override { return type_; }
    const char* GetName() const override { return "RecordingTask"; }
    void SetParameter(const void* parameter) override {
        if (!parameter)
            return;
        if (type_ == kReleaseTask)
            object_ = *static_cast<void* const*>(parameter);
        else
            param_ = *static_cast<const TaskParameter*>(parameter);
    }
    void Reset() override {
        param_ = TaskParameter();
        object_ = nullptr;
        itask::Reset();
    }

    std::int32_t OnTaskBegin() override {
        Record("begin");
        if (type_ == kFailingTask) {
            SetResult(12);
            return -1;
        }
        if (type_ == kBlockingTask && param_.gate)
            param_.gate->Enter();
        if (type_ == kPumpingTask && param_.worker)
            Record("pump=" + std::to_string(param_.worker->Pump()));
        return 1;
    }
    std::int32_t OnTask() override { return Record("main"), 1; }
    std::int32_t OnSubTask() override { return Record("sub"), 1; }
    std::int32_t OnTaskEnd() override { return Record("end"), 1; }
    void OnTaskCancel() override { Record("cancel"); }
    void OnComplete() override {
        Record("complete");
        if (type_ == kPumpingTask && param_.worker)
            Record("pump=" + std::to_string(param_.worker->Pump()));
    }
    std::int32_t OnMainThread(std::int32_t state) override {
        if (type_ == kStuckTask) {
            SetState(8);
            return 8;
        }
        if (type_ != kFourStepTask && type_ != kBlockingTask)
            return itask::OnMainThread(state);
        Record("@" + std::to_string(state));
        const std::int32_t next = GetResult() >= kFirstFailureCode ? kDone : state + 1;
        SetState(next);
        return next;
    }

    const TaskParameter& Parameter() const { return param_; }
    void* Object() const { return object_; }

private:
    void Record(std::string what) { Journal().Add(GetId(), param_.tag, std::move(what)); }

    std::int32_t type_;
    TaskParameter param_;
    void* object_ = nullptr;
};

inline Zel::itask* MakeRecordingTask(std::int32_t type) {
    switch (type) {
        case kOneStepTask:
        case kFourStepTask:
        case kFailingTask:
        case kBlockingTask:
        case kPumpingTask:
        case kStuckTask:
        case kReleaseTask:
            return new RecordingTask(type);
        default:
            return nullptr;
    }
}

// Installs the recording factory for its life and empties the journal.
class RecordingFactoryScope {
public:
    RecordingFactoryScope() : previous_(Zel::SetTaskFactory(&MakeRecordingTask)) {
        Journal().Clear();
    }
    ~RecordingFactoryScope() { Zel::SetTaskFactory(previous_); }
    RecordingFactoryScope(const RecordingFactoryScope&) = delete;
    RecordingFactoryScope& operator=(const RecordingFactoryScope&) = delete;

private:
    Zel::TaskFactoryFunction previous_;
};

}  // namespace ZelTest
