#include "Thread/TaskPatterns.h"

#include "Core/ErrorReport.h"

namespace Zel {

bool RejectTaskState(const itask& task, std::int32_t state, const char* text) {
    if (state >= itask::kBegin && (state < itask::kDone || task.GetResult() >= 10))
        return false;
    ReportError("%s", text);
    return true;
}

std::int32_t MarkTaskDone(itask& task) {
    task.SetState(itask::kDone);
    return itask::kDone;
}

std::unique_ptr<itask> TaskChildren::StepFirst() {
    if (children_.empty())
        return nullptr;
    itask& child = *children_.front();
    if (child.GetState() != itask::kDone)
        child.Run(child.GetState());
    if (child.GetState() != itask::kEnd && child.GetState() != itask::kDone)
        return nullptr;
    std::unique_ptr<itask> done = std::move(children_.front());
    children_.pop_front();
    return done;
}

void TaskChildren::Clear(bool cancelling) {
    for (const std::unique_ptr<itask>& child : children_)
        if (cancelling)
            child->OnTaskCancel();
    children_.clear();
}

void SubTaskParentTask::Reset() {
    currentChild_ = nullptr;
    subTaskInProgress_ = false;
    itask::Reset();
}

std::int32_t SubTaskParentTask::OnMainThread(std::int32_t state) {
    if (RejectTaskState(*this, state, texts_.rejected))
        return state;
    if (GetResult() > 10)
        return MarkTaskDone(*this);
    if (subTaskInProgress_) {
        if (state != kSubTask) {
            ReportError("%s", texts_.wrongSubTaskStep);
            return state;
        }
        if (currentChild_)
            currentChild_->Advance();
        return state;
    }
    if (state >= kDone) {
        ReportError("%s", texts_.wrongMainStep);
        return state;
    }
    SetState(state + 1);
    return state + 1;
}

}  // namespace Zel
