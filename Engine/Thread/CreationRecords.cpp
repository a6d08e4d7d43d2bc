#include "Thread/CreationRecords.h"

#include <cstring>

#include "Core/ErrorReport.h"
#include "Core/LogDispatch.h"
#include "Entity/Character/NewActor.h"
#include "Entity/Scene/SceneManager.h"
#include "Interface/IActor.h"

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

}  // namespace Zel
