#include "Core/itask.h"

#include "Core/ErrorReport.h"
#include "Platform/Win32/Win32.h"

namespace Zel {

itask::~itask() = default;

void itask::Reset() {
    id_ = 0;
    type_ = -1;
    SetCancelled(false);
    priority_ = 0;
    subTaskCount_ = 0;
    state_ = kSubmitted;
    result_ = 0;
}

void itask::SetParameter(const void*) {}

std::int32_t itask::Reserved() {
    return 0;
}

std::int32_t itask::OnTaskBegin() {
    return 1;
}

std::int32_t itask::OnTask() {
    return 1;
}

std::int32_t itask::OnSubTask() {
    return 1;
}

std::int32_t itask::OnTaskEnd() {
    return 1;
}

std::int32_t itask::Abort() {
    return 1;
}

void itask::OnTaskCancel() {}

const char* itask::GetName() const {
    return "itask";
}

void itask::OnComplete() {}

std::int32_t itask::Run(std::int32_t state) {
    switch (state) {
        case kSubmitted:
            return 1;
        case kBegin:
            return OnTaskBegin();
        case kMain:
            return OnTask();
        case kSubTask:
            return OnSubTask();
        case kEnd:
            return OnTaskEnd();
        case kDone:
            ReportError("在IO线程里不应该出现TASK_FINISHED");
            return kDone;
        case kCancelling:
            OnTaskCancel();
            return 0;
        default:
            ReportError("任务计数致命错误，程序将终止");
            MessageBoxA(nullptr, "任务计数致命错误", "ERROR", MB_OK);
            return 0;
    }
}

std::int32_t itask::OnMainThread(std::int32_t state) {
    if (state == kBegin || result_ >= kFirstFailureCode) {
        state_ = kDone;
        return kDone;
    }
    ReportError("不太可能出现 task step=%d, task id=%u", state, id_);
    return state;
}

std::int32_t itask::Advance() {
    if (state_ == kSubmitted)
        state_ = kBegin;
    else
        OnMainThread(state_);
    return state_;
}

bool TaskSkipsCompletion(std::int32_t type) {
    return type == 13 || type == 20 || type == 21;
}

}  // namespace Zel
