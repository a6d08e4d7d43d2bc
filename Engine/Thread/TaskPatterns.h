// The step patterns the host interface's task classes follow on the host's side of the lock-step
// (OnMainThread), shared by the classes that follow them, and the list of child tasks a parent
// steps inside its own sub-task step.
//
// Threads: OnMainThread and Advance run on the host's thread inside the pump; the steps, and
// the child list's stepping, on loading thread 0 under the main lock (itask.h).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "Core/itask.h"

namespace Zel {

// Reports text and answers true when the state may not be stepped from the host's side: below 3,
// or 7 and beyond while all is well.
bool RejectTaskState(const itask& task, std::int32_t state, const char* text);
// Writes 7 into the task's state and answers it.
std::int32_t MarkTaskDone(itask& task);

// Child tasks that are never queued: the parent runs the first one's step in its own sub-task
// step and advances it on the host's side, so a child moves one step per cycle of its parent.
class TaskChildren {
public:
    void Append(std::unique_ptr<itask> child) { children_.push_back(std::move(child)); }
    bool Empty() const { return children_.empty(); }
    std::size_t Size() const { return children_.size(); }
    // One step of the first child (none once it is done); a child that reached its end step (6)
    // or is done (7) is then taken off the list and answered, so that the parent can collect
    // what it made. Null while the child goes on or when the list is empty.
    std::unique_ptr<itask> StepFirst();
    // The child the host's side advances: the first, or null.
    itask* Current() const { return children_.empty() ? nullptr : children_.front().get(); }
    // Deletes every child, each after its cancel step when cancelling.
    void Clear(bool cancelling);

private:
    std::deque<std::unique_ptr<itask>> children_;
};

// Tasks that step children of their own: begin, main, the sub-task step repeated while a child is
// in progress (the child advancing once per cycle), end, done.
class SubTaskParentTask : public itask {
public:
    // The texts reported for a rejected state, a sub-task in progress outside the sub-task step
    // and a step count beyond the end.
    struct Texts {
        const char* rejected;
        const char* wrongSubTaskStep;
        const char* wrongMainStep;
    };

    explicit SubTaskParentTask(const Texts& texts) : texts_(texts) {}
    void Reset() override;
    std::int32_t OnMainThread(std::int32_t state) override;

protected:
    // The child the host's side advances while the sub-task step is in progress, or null.
    void SetCurrentChild(itask* child) { currentChild_ = child; }
    void SetSubTaskInProgress(bool on) { subTaskInProgress_ = on; }

private:
    Texts texts_;
    itask* currentChild_ = nullptr;  // owned by the class's child list
    bool subTaskInProgress_ = false;
};

}  // namespace Zel
