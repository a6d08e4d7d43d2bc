// The task classes of the host interface's queued calls, with the step pattern each follows on
// the host's thread (OnMainThread). Their steps are stand-ins until the loaders and the effect
// tasks are built: each step only records its state in the task (GetStepsRun) and succeeds, so
// that queued calls and the worker's lock-step can be driven end to end. The release task
// (release_obj_task.h) and the action and actor tasks (ActionTasks.h) are the real ones.
//
// Threads: steps on loading thread 0 under the main lock; OnMainThread and Advance on the host's
// thread inside the pump (itask.h).
#pragma once

#include <cstdint>
#include <vector>

#include "Core/itask.h"

namespace Zel {

// A task whose steps record the state they ran in and succeed. The record is cleared by Reset.
class StandInTask : public itask {
public:
    StandInTask(std::int32_t type, const char* name) : type_(type), name_(name) {}

    std::int32_t GetType() const override { return type_; }
    const char* GetName() const override { return name_; }
    void Reset() override;
    std::int32_t OnTaskBegin() override { return Record(kBegin); }
    std::int32_t OnTask() override { return Record(kMain); }
    std::int32_t OnSubTask() override { return Record(kSubTask); }
    std::int32_t OnTaskEnd() override { return Record(kEnd); }
    void OnTaskCancel() override { Record(kCancelling); }

    // The states whose steps ran, in order.
    const std::vector<std::int32_t>& GetStepsRun() const { return stepsRun_; }

protected:
    std::int32_t Record(std::int32_t state) {
        stepsRun_.push_back(state);
        return 1;
    }
    // Reports text and answers true when the state may not be stepped from the host's side: below
    // 3, or 7 and beyond while all is well.
    bool RejectState(std::int32_t state, const char* text) const;
    bool Failed() const { return GetResult() > 10; }
    std::int32_t Finish() {
        SetState(kDone);
        return kDone;
    }

private:
    std::int32_t type_;
    const char* name_;
    std::vector<std::int32_t> stepsRun_;
};

// Two steps: begin, then the main step, then done.
class LoadBodyPartTask : public StandInTask {
public:
    LoadBodyPartTask() : StandInTask(6, "LoadBodyPartTask") {}
    std::int32_t OnMainThread(std::int32_t state) override;

protected:
    LoadBodyPartTask(std::int32_t type, const char* name) : StandInTask(type, name) {}
};

class LoadBodyPart5Task final : public LoadBodyPartTask {
public:
    LoadBodyPart5Task() : LoadBodyPartTask(7, "LoadBodyPart5Task") {}
};

// Repeated begin: OnTaskBegin runs once per clone step, index 0 to 3, then the task is done.
class ActorCloneTask : public StandInTask {
public:
    static constexpr std::int32_t kLastCloneStep = 3;

    ActorCloneTask() : StandInTask(9, "ActorCloneTask") {}
    void Reset() override;
    std::int32_t OnMainThread(std::int32_t state) override;
    // The clone step the next OnTaskBegin works on.
    std::int32_t GetCloneStep() const { return cloneStep_; }

private:
    std::int32_t cloneStep_ = 0;
};

// Tasks that step children of their own: begin, main, the sub-task step repeated while a child is
// in progress (the child advancing once per cycle), end, done.
class SubTaskParentTask : public StandInTask {
public:
    // The texts reported for a rejected state, a sub-task in progress outside the sub-task step
    // and a step count beyond the end.
    struct Texts {
        const char* rejected;
        const char* wrongSubTaskStep;
        const char* wrongMainStep;
    };

    SubTaskParentTask(std::int32_t type, const char* name, const Texts& texts)
        : StandInTask(type, name), texts_(texts) {}
    void Reset() override;
    std::int32_t OnMainThread(std::int32_t state) override;

protected:
    // The child being stepped, or null; the parent's OnSubTask runs it and keeps the flag set
    // until no child is left.
    void SetCurrentChild(itask* child) { currentChild_ = child; }
    void SetSubTaskInProgress(bool on) { subTaskInProgress_ = on; }

private:
    Texts texts_;
    itask* currentChild_ = nullptr;  // owned by the class's child list
    bool subTaskInProgress_ = false;
};

class EffectLoadingTask final : public SubTaskParentTask {
public:
    EffectLoadingTask();
};

class EffectUnLoadTask final : public SubTaskParentTask {
public:
    EffectUnLoadTask();
};

class EffectUnLoadDeeplyTask final : public SubTaskParentTask {
public:
    EffectUnLoadDeeplyTask();
};

// The factory the host interface installs: a new task of the class of the type in its initial
// state, for types 0-14, 16, 17 and 19-21. Any other type (15 has no class; 18, the material
// library load, is built only by its parents) is reported, shown in a message box, and answers
// null. The caller owns the task (the worker's recycler keeps it).
itask* CreateHostTask(std::int32_t type);
// Installs CreateHostTask as the task factory. Library load; calling it again changes nothing.
void InstallHostTaskFactory();

}  // namespace Zel
