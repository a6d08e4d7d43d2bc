#include "Thread/HostTasks.h"

#include <iterator>

#include "Core/ErrorReport.h"
#include "Core/TaskFactory.h"
#include "Platform/Win32/Win32.h"
#include "Thread/ActionTasks.h"
#include "Thread/ActorTasks.h"
#include "Thread/EffectTasks.h"
#include "Thread/GeometrySkin_LoadActionTask.h"
#include "Thread/act_loader.h"
#include "Thread/actor_loader.h"
#include "Thread/level_loader.h"
#include "Thread/model_loader.h"
#include "Thread/release_obj_task.h"
#include "Thread/shaderlib_loader.h"

namespace Zel {
namespace {

template <class Task>
itask* MakeTask() {
    return new Task;
}

// The class of each type id, by index; null for the ids without one.
using TaskMaker = itask* (*)();
constexpr TaskMaker kTaskMakers[] = {
    &MakeTask<level_loader>,                        // 0
    &MakeTask<shaderlib_loader>,                    // 1
    &MakeTask<act_loader>,                          // 2
    &MakeTask<model_loader>,                        // 3
    &MakeTask<actor_loader>,                        // 4
    &MakeTask<NewActorLoader>,                      // 5
    &MakeTask<LoadBodyPartTask>,                    // 6
    &MakeTask<LoadBodyPart5Task>,                   // 7
    &MakeTask<ActorProcessTask>,                    // 8
    &MakeTask<ActorCloneTask>,                      // 9
    &MakeTask<actor_texcleaner>,                    // 10
    &MakeTask<actor_setlod>,                        // 11
    &MakeTask<AnimationChannel_SetActionTask>,      // 12
    &MakeTask<release_obj_task>,                    // 13
    &MakeTask<AnimationChannel_SetNextActionTask>,  // 14
    nullptr,                                        // 15: no class
    &MakeTask<GeometrySkin_LoadActionTask>,         // 16
    &MakeTask<SharedActions_LoadActionTask>,        // 17
    nullptr,                                        // 18: built by its parents only
    &MakeTask<EffectLoadingTask>,                   // 19
    &MakeTask<EffectUnLoadTask>,                    // 20
    &MakeTask<EffectUnLoadDeeplyTask>,              // 21
};

}  // namespace

void StandInTask::Reset() {
    stepsRun_.clear();
    itask::Reset();
}

itask* CreateHostTask(std::int32_t type) {
    if (type >= 0 && type < static_cast<std::int32_t>(std::size(kTaskMakers)) && kTaskMakers[type])
        return kTaskMakers[type]();
    ReportError("main thread:ERROR task type! %d", type);
    MessageBoxA(nullptr, "main thread:ERROR task type!", "ERROR", MB_OK);
    return nullptr;
}

void InstallHostTaskFactory() {
    SetTaskFactory(&CreateHostTask);
}

}  // namespace Zel
