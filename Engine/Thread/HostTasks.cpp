#include "Thread/HostTasks.h"

#include "Core/ErrorReport.h"
#include "Core/TaskFactory.h"
#include "Platform/Win32/Win32.h"
#include "Thread/ActionTasks.h"
#include "Thread/GeometrySkin_LoadActionTask.h"
#include "Thread/act_loader.h"
#include "Thread/actor_loader.h"
#include "Thread/level_loader.h"
#include "Thread/model_loader.h"
#include "Thread/release_obj_task.h"
#include "Thread/shaderlib_loader.h"

namespace Zel {

void StandInTask::Reset() {
    stepsRun_.clear();
    itask::Reset();
}

bool StandInTask::RejectState(std::int32_t state, const char* text) const {
    if (state >= kBegin && (state < kDone || GetResult() >= 10))
        return false;
    ReportError("%s", text);
    return true;
}

std::int32_t LoadBodyPartTask::OnMainThread(std::int32_t state) {
    if (RejectState(state, "model loader任务异常！"))
        return state;
    if (Failed() || state == kMain)
        return Finish();
    if (state == kBegin) {
        SetState(kMain);
        return kMain;
    }
    ReportError("model loader任务异常！");
    return state;
}

void ActorCloneTask::Reset() {
    cloneStep_ = 0;
    StandInTask::Reset();
}

std::int32_t ActorCloneTask::OnMainThread(std::int32_t state) {
    if (RejectState(state, "ActorCloneTask任务异常！步骤计数不对"))
        return state;
    if (Failed())
        return Finish();
    if (state != kBegin) {
        ReportError("ActorCloneTask任务异常！步骤计数不对,cur_step=%d", state);
        return state;
    }
    if (cloneStep_ >= kLastCloneStep)
        return Finish();
    ++cloneStep_;
    SetState(kBegin);
    return kBegin;
}

void SubTaskParentTask::Reset() {
    currentChild_ = nullptr;
    subTaskInProgress_ = false;
    StandInTask::Reset();
}

std::int32_t SubTaskParentTask::OnMainThread(std::int32_t state) {
    if (RejectState(state, texts_.rejected))
        return state;
    if (Failed())
        return Finish();
    if (subTaskInProgress_) {
        if (state != kSubTask) {
            ReportError("%s", texts_.wrongSubTaskStep);
            return state;
        }
        if (currentChild_)
            currentChild_->Advance();
        return state;
    }
    if (state > kDone) {
        ReportError("%s", texts_.wrongMainStep);
        return state;
    }
    SetState(state + 1);
    return state + 1;
}

EffectLoadingTask::EffectLoadingTask()
    : SubTaskParentTask(19, "EffectLoadingTask",
                        {"EffectLoadingTask任务异常！", "EffectLoadingTask子任务步骤计算错误",
                         "EffectLoadingTask大步骤计算错误"}) {}

EffectUnLoadTask::EffectUnLoadTask()
    : SubTaskParentTask(20, "EffectUnLoadTask",
                        {"EffectUnLoadTask任务异常！", "EffectUnLoadTask子任务步骤计算错误",
                         "EffectUnLoadTask大步骤计算错误"}) {}

EffectUnLoadDeeplyTask::EffectUnLoadDeeplyTask()
    : SubTaskParentTask(
          21, "EffectUnLoadDeeplyTask",
          {"EffectUnLoadDeeplyTask任务异常！", "EffectUnLoadDeeplyTask子任务步骤计算错误",
           "EffectUnLoadDeeplyTask大步骤计算错误"}) {}

itask* CreateHostTask(std::int32_t type) {
    switch (type) {
        case kLevelLoadTaskType:
            return new level_loader;
        case kShaderLibTaskType:
            return new shaderlib_loader;
        case kActionLoadTaskType:
            return new act_loader;
        case kModelLoadTaskType:
            return new model_loader;
        case kActorLoadTaskType:
            return new actor_loader;
        case kNewActorLoadTaskType:
            return new NewActorLoader;
        case 6:
            return new LoadBodyPartTask;
        case 7:
            return new LoadBodyPart5Task;
        case 8:
            return new ActorProcessTask;
        case 9:
            return new ActorCloneTask;
        case 10:
            return new StandInTask(type, "actor_texcleaner");
        case 11:
            return new actor_setlod;
        case 12:
            return new AnimationChannel_SetActionTask;
        case release_obj_task::kType:
            return new release_obj_task;
        case 14:
            return new AnimationChannel_SetNextActionTask;
        case GeometrySkin_LoadActionTask::kType:
            return new GeometrySkin_LoadActionTask;
        case 17:
            return new SharedActions_LoadActionTask;
        case 19:
            return new EffectLoadingTask;
        case 20:
            return new EffectUnLoadTask;
        case 21:
            return new EffectUnLoadDeeplyTask;
        default:
            ReportError("main thread:ERROR task type! %d", type);
            MessageBoxA(nullptr, "main thread:ERROR task type!", "ERROR", MB_OK);
            return nullptr;
    }
}

void InstallHostTaskFactory() {
    SetTaskFactory(&CreateHostTask);
}

}  // namespace Zel
