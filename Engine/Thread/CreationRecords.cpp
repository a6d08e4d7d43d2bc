#include "Thread/CreationRecords.h"

#include <cstring>

#include "Core/ErrorReport.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/StreamFactory.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Character/NewActor.h"
#include "Entity/Material/Material.h"
#include "Entity/Scene/SceneManager.h"
#include "Interface/IActor.h"
#include "Interface/IShader.h"

namespace Zel {

bool TaskNameFits(const char* operation, const char* name) {
    if (!name || std::strlen(name) <= kTaskNameCapacity)
        return true;
    LogTyped(LOG_ENGINE_INIT, "%s: name longer than %u characters refused: %.64s...", operation,
             static_cast<unsigned>(kTaskNameCapacity), name);
    return false;
}

void CopyTaskName(char* field, const char* name) {
    std::memset(field, 0, kTaskNameCapacity + 1);
    if (name)
        std::strncpy(field, name, kTaskNameCapacity);
}

Actor* CreateActorFromFile(SceneManager& scene, const std::string& path, std::uint8_t sex,
                           bool newActor) {
    // The actor's description geometry reads nothing of the file itself: a name that names no
    // file would otherwise give an empty actor reported as made.
    if (!FileExists(path)) {
        ReportError("create actor: %s not found", path.c_str());
        return nullptr;
    }
    Actor* actor = newActor ? static_cast<Actor*>(scene.CreateNewActor()) : scene.CreateActor();
    if (!actor)
        return nullptr;
    actor->SetSex(sex);
    if (!actor->LoadGeometry(path)) {
        scene.ReleaseEntity(actor);
        return nullptr;
    }
    static constexpr float kOrigin[3] = {0.0f, 0.0f, 0.0f};
    actor->SetPosition(kOrigin);
    return actor;
}

ZelI::IActor* ActorInterfaceOrRelease(SceneManager& scene, Actor* actor) {
    if (!actor)
        return nullptr;
    auto* wrapper = static_cast<ZelI::IActor*>(actor->GetInterface());
    if (!wrapper) {
        ReportError("create actor: no host interface for the actor, released");
        scene.ReleaseEntity(actor);
    }
    return wrapper;
}

// The effect loading task with its record; the slot is not cleared here: the task stores the
// effect into it when it completes. 0 for a name the record cannot hold or without worker 0.
std::uint32_t QueueEffectLoad(const char* name, void* resultSlot, void* effectManager,
                              int priority) {
    threadio* worker = threadmng::GetInstance()->GetThread(0);
    if (!worker || !TaskNameFits("CreateEffectAsyn", name))
        return 0;
    EffectLoadTaskParameter parameter;
    parameter.result = static_cast<void**>(resultSlot);
    parameter.effectManager = effectManager;
    CopyTaskName(parameter.name, name);
    return worker->CreateTask(kEffectLoadTaskType, &parameter,
                              static_cast<std::uint32_t>(priority));
}

std::uint32_t QueueEffectUnload(std::int32_t type, void* effect, void* effectManager,
                                int priority) {
    threadio* worker = threadmng::GetInstance()->GetThread(0);
    if (!worker)
        return 0;
    EffectUnloadTaskParameter parameter;
    parameter.effect = effect;
    parameter.effectManager = effectManager;
    return worker->CreateTask(type, &parameter, static_cast<std::uint32_t>(priority));
}

ZelI::IMaterial* HandOutMaterial(Material& material) {
    // Every material's wrapper implements the whole material face, not only the shader's.
    return static_cast<ZelI::IMaterial*>(material.GetInterface());
}

SwitchOverride::SwitchOverride(std::uint32_t index, std::int32_t value)
    : config_(Globals::Find(&Globals::GetConfigManager)), index_(index) {
    if (!config_)
        return;
    saved_ = config_->GetValue(index);
    config_->SetValue(index, value);
}

SwitchOverride::~SwitchOverride() {
    if (config_)
        config_->SetValue(index_, saved_);
}

std::int32_t GlobalSwitchValue(std::uint32_t index) {
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    return config ? config->GetValue(index) : 0;
}

}  // namespace Zel
