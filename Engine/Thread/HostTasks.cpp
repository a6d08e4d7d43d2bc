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
itask* NewTaskOf() {
    return new Task;
}

// The class of each type id, by index; null for the ids without one.
using TaskMaker = itask* (*)();
constexpr TaskMaker kTaskMakers[] = {
    &NewTaskOf<level_loader>,                        // 0
    &NewTaskOf<shaderlib_loader>,                    // 1
    &NewTaskOf<act_loader>,                          // 2
    &NewTaskOf<model_loader>,                        // 3
    &NewTaskOf<actor_loader>,                        // 4
    &NewTaskOf<NewActorLoader>,                      // 5
    &NewTaskOf<LoadBodyPartTask>,                    // 6
    &NewTaskOf<LoadBodyPart5Task>,                   // 7
    &NewTaskOf<ActorProcessTask>,                    // 8
    &NewTaskOf<ActorCloneTask>,                      // 9
    &NewTaskOf<actor_texcleaner>,                    // 10
    &NewTaskOf<actor_setlod>,                        // 11
    &NewTaskOf<AnimationChannel_SetActionTask>,      // 12
    &NewTaskOf<release_obj_task>,                    // 13
    &NewTaskOf<AnimationChannel_SetNextActionTask>,  // 14
    nullptr,                                         // 15: no class
    &NewTaskOf<GeometrySkin_LoadActionTask>,         // 16
    &NewTaskOf<SharedActions_LoadActionTask>,        // 17
    nullptr,                                         // 18: built by its parents only
    &NewTaskOf<EffectLoadingTask>,                   // 19
    &NewTaskOf<EffectUnLoadTask>,                    // 20
    &NewTaskOf<EffectUnLoadDeeplyTask>,              // 21
};

}  // namespace

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
