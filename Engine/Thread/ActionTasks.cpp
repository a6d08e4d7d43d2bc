#include "Thread/ActionTasks.h"

#include <cstring>
#include <string>

#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/Actor.h"
#include "Entity/Character/SkeletonModel.h"
#include "Thread/CreationRecords.h"

namespace Zel {

namespace {

// Copies a record given by address; null leaves the task's record as it is.
template <class Record>
void CopyRecord(Record& into, const void* parameter) {
    if (parameter)
        std::memcpy(&into, parameter, sizeof(Record));
}

}  // namespace

void ChannelActionTask::Reset() {
    record_ = ActionRequestRecord();
    itask::Reset();
}

void ChannelActionTask::SetParameter(const void* parameter) {
    CopyRecord(record_, parameter);
}

std::int32_t ChannelActionTask::OnTaskBegin() {
    if (!record_.owner) {
        ReportError("%s", "设置动作，但是actor为0");
        SetResult(kFailure);
        return -1;
    }
    ActionManager* actions = Globals::Find(&Globals::GetActionManager);
    if (!actions || !actions->GetTreeItemAction(*record_.owner, TaskFieldText(record_.name))) {
        SetResult(kFailure);
        return -1;
    }
    return 1;
}

void SharedActions_LoadActionTask::Reset() {
    record_ = SharedActionRequestRecord();
    itask::Reset();
}

void SharedActions_LoadActionTask::SetParameter(const void* parameter) {
    CopyRecord(record_, parameter);
}

std::int32_t SharedActions_LoadActionTask::OnTaskBegin() {
    if (!record_.model) {
        ReportError("%s", "加载动作，但是skeletonModel为0");
        SetResult(kFailure);
        return -1;
    }
    ActionManager* actions = Globals::Find(&Globals::GetActionManager);
    Skeleton* skeleton = record_.model->GetSkeleton();
    if (!actions || !actions->AddSharedAction(ActionManager::SetIdOf(skeleton),
                                              TaskFieldText(record_.file), skeleton)) {
        SetResult(kFailure);
        return -1;
    }
    return 1;
}

void ActorProcessTask::Reset() {
    actor_ = nullptr;
    itask::Reset();
}

void ActorProcessTask::SetParameter(const void* parameter) {
    actor_ = static_cast<Actor*>(const_cast<void*>(parameter));
}

std::int32_t ActorProcessTask::OnTaskBegin() {
    if (!actor_) {
        ReportError("%s", "设置动作，但是actor为0");
        return 1;
    }
    actor_->RebuildMaterials();
    return 1;
}

void actor_setlod::Reset() {
    record_ = ActorLodRecord();
    itask::Reset();
}

void actor_setlod::SetParameter(const void* parameter) {
    CopyRecord(record_, parameter);
}

std::int32_t actor_setlod::OnTaskBegin() {
    if (record_.actor)
        record_.actor->SetLodLevel(record_.level);
    return 1;
}

}  // namespace Zel
