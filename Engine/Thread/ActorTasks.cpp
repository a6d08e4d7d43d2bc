#include "Thread/ActorTasks.h"

#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Character/Actor.h"
#include "Entity/Character/ActorMaterialLibrary.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Thread/TaskPatterns.h"

namespace Zel {

// ---- One body part ----

void LoadBodyPartTask::Reset() {
    name_.clear();
    actor_ = nullptr;
    slot_ = 0;
    geometry_ = nullptr;
    itask::Reset();
}

void LoadBodyPartTask::SetParameter(const void* parameter) {
    if (!parameter)
        return;
    const auto& record = *static_cast<const BodyPartTaskParameter*>(parameter);
    name_ = TaskFieldText(record.name);
    actor_ = record.actor;
    slot_ = record.slot;
}

Actor* LoadBodyPartTask::CheckedActor() {
    if (!actor_)
        ReportError("%s", "设置动作，但是actor为0");
    return actor_;
}

bool LoadBodyPartTask::BeginLoad(Actor& actor) {
    geometry_ = actor.BeginLoadBodyPart(slot_, name_);
    return geometry_ != nullptr;
}

bool LoadBodyPartTask::TakePart(Actor& actor) {
    const Actor::PartRequest request(actor, slot_);
    return actor.ProcessBodypartMaterial(geometry_, slot_, name_);
}

std::int32_t LoadBodyPartTask::OnTaskBegin() {
    Actor* actor = CheckedActor();
    if (!actor)
        return Fail();
    SetResult(0);
    return BeginLoad(*actor) ? 1 : Fail();
}

void LoadBodyPartTask::PrepareCloth(Actor& actor) {
    actor.PrepareClothCompanion(slot_, name_);
}

std::int32_t LoadBodyPartTask::OnTask() {
    Actor* actor = CheckedActor();
    if (!actor)
        return Fail();
    PrepareCloth(*actor);
    return 1;
}

std::int32_t LoadBodyPartTask::OnMainThread(std::int32_t state) {
    if (RejectTaskState(*this, state, "model loader任务异常！"))
        return state;
    if (GetResult() > 10)
        return MarkTaskDone(*this);
    if (state == kBegin) {
        SetState(kMain);
        return kMain;
    }
    if (state != kMain) {
        ReportError("model loader任务异常！");
        return state;
    }
    // The sub-entities and materials of the part belong to the host's thread.
    Actor* actor = CheckedActor();
    if (!actor || !TakePart(*actor))
        SetResult(kFailure);
    if (actor) {
        actor->DropPreparedCloth();
        actor->RefreshAfterBodyPart();
    }
    return MarkTaskDone(*this);
}

void LoadBodyPart5Task::Reset() {
    entry_ = nullptr;
    LoadBodyPartTask::Reset();
}

void LoadBodyPart5Task::SetParameter(const void* parameter) {
    if (!parameter)
        return;
    const auto& record = *static_cast<const BodyPart5TaskParameter*>(parameter);
    name_ = TaskFieldText(record.name);
    actor_ = record.library ? &record.library->GetOwner() : nullptr;
    slot_ = record.slot;
}

bool LoadBodyPart5Task::BeginLoad(Actor& actor) {
    entry_ = actor.BeginLoadBodyPart5(slot_, name_);
    return entry_ != nullptr;
}

bool LoadBodyPart5Task::TakePart(Actor& actor) {
    const Actor::PartRequest request(actor, slot_);
    return actor.TakeBodyPart5(slot_, entry_, name_);
}

std::int32_t QueueBodyPart(Actor& actor, std::uint32_t slot, const std::string& name,
                           std::int32_t mode) {
    threadio* worker = threadmng::GetInstance()->GetThread(0);
    const bool part5 = Actor::BodyPartKind(name) == 17 && !actor.IsNewActor();
    // ".bp5" parts go only into the part slots; the others into any slot, cloth ones included.
    if (!actor.GetActorGeometry() || !worker ||
        slot >= (part5 ? Actor::kPartCount : Actor::kSlotCount) ||
        !TaskNameFits("SetBodyPartEx", name.c_str()))
        return -1;
    const auto priority = static_cast<std::uint32_t>(mode);
    std::uint32_t id = 0;
    if (part5) {
        BodyPart5TaskParameter record;
        CopyTaskName(record.name, name.c_str());
        record.library = &actor.GetMaterialLibrary();
        record.slot = slot;
        id = worker->CreateTask(kBodyPart5TaskType, &record, priority);
    } else {
        BodyPartTaskParameter record;
        CopyTaskName(record.name, name.c_str());
        record.actor = &actor;
        record.slot = slot;
        id = worker->CreateTask(kBodyPartTaskType, &record, priority);
    }
    if (id == 0)
        return -1;
    actor.SetLastBodyPartTask(id);
    return static_cast<std::int32_t>(id);
}

bool SetBodyPartQueued(Actor& actor, std::uint32_t slot, const std::string& name) {
    const std::int32_t id = QueueBodyPart(actor, slot, name, 2);
    threadio* worker = threadmng::GetInstance()->GetThread(0);
    return id > 0 && worker && worker->SyncTask(static_cast<std::uint32_t>(id)) == 0;
}

// ---- Clone ----

void ActorCloneTask::Reset() {
    parameter_ = ActorCloneTaskParameter();
    cloneStep_ = 0;
    itask::Reset();
}

void ActorCloneTask::SetParameter(const void* parameter) {
    if (parameter)
        parameter_ = *static_cast<const ActorCloneTaskParameter*>(parameter);
}

std::int32_t ActorCloneTask::FailStep(std::int32_t code) {
    cloneStep_ = 0;
    SetResult(code);
    LogTyped(LOG_ENGINE_INIT, "thread-FAILED actor clone,err=%d", code);
    return -1;
}

std::int32_t ActorCloneTask::OnTaskBegin() {
    if (parameter_.result)
        *parameter_.result = 0;
    Actor* destination = parameter_.destination;
    const Actor* source = parameter_.source;
    const bool actors = destination && source;
    switch (cloneStep_) {
        case 0:
            if (!actors)
                return FailStep(19);
            destination->ReleaseAllBodyParts(*source);
            return 0;
        case 1:
            if (!actors || !destination->CopyBodyPartsFrom(*source, 2))
                return FailStep(20);
            return 0;
        case 2:
            // The clone draws with a texture of its own holding the source's pixels, so a
            // later change to either actor's texture leaves the other alone.
            if (!actors || !destination->CloneTextures(source))
                return FailStep(21);
            return 0;
        case kLastCloneStep:
            if (!destination)
                return FailStep(19);
            destination->RestartChannels();
            if (parameter_.result)
                *parameter_.result = parameter_.value;
            LogTyped(LOG_ENGINE_INIT, "thread-success actor clone,src=%d,dst=%d\n",
                     source ? source->GetActorId() : -1, destination->GetActorId());
            return 1;
        default:
            ReportError("ActorCloneTask CLONE出错，m_curTaskIndex计数出错");
            return FailStep(19);
    }
}

std::int32_t ActorCloneTask::OnMainThread(std::int32_t state) {
    if (RejectTaskState(*this, state, "ActorCloneTask任务异常！步骤计数不对"))
        return state;
    if (GetResult() > 10)
        return MarkTaskDone(*this);
    if (state != kBegin) {
        ReportError("ActorCloneTask任务异常！步骤计数不对,cur_step=%d", state);
        return state;
    }
    if (cloneStep_ >= kLastCloneStep)
        return MarkTaskDone(*this);
    ++cloneStep_;
    SetState(kBegin);
    return kBegin;
}

// ---- Texture clean-up ----

std::int32_t actor_texcleaner::OnTaskBegin() {
    if (GeometryManager* geometries = Globals::Find(&Globals::GetGeometryManager))
        geometries->ReleaseBodyPartImages();
    return 1;
}

}  // namespace Zel
