#include "Thread/actor_loader.h"

#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Entity/Character/Actor.h"
#include "Entity/Scene/SceneManager.h"
#include "Interface/IActor.h"

namespace Zel {
namespace {

constexpr std::int32_t kActorFailed = 17;

}  // namespace

void actor_loader::Reset() {
    parameter_ = ActorLoadTaskParameter{};
    actor_ = nullptr;
    interface_ = nullptr;
    itask::Reset();
}

void actor_loader::SetParameter(const void* parameter) {
    if (parameter)
        parameter_ = *static_cast<const ActorLoadTaskParameter*>(parameter);
}

std::int32_t actor_loader::OnTaskBegin() {
    SetResult(0);
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    // actor_loader takes the sex from the flag's low byte; a NewActor gets the whole word,
    // which the host passes as 0 or 1.
    const auto sex = static_cast<std::uint8_t>(newActor_ ? parameter_.flag != 0 : parameter_.flag);
    actor_ = scene ? CreateActorFromFile(*scene, parameter_.name, sex, newActor_) : nullptr;
    interface_ = actor_ ? ActorInterfaceOrRelease(*scene, actor_) : nullptr;
    if (!interface_) {
        actor_ = nullptr;
        SetResult(kActorFailed);
        return -1;
    }
    return 1;
}

void actor_loader::OnTaskCancel() {
    if (IsCancelled() && interface_ && actor_)
        actor_->DetachInterface();
    interface_ = nullptr;
    actor_ = nullptr;
}

void actor_loader::OnComplete() {
    if (IsCancelled()) {
        ReportError("已经被CANCEL的任务不应该被 fill_content");
        return;
    }
    if (GetResult() < 10 && parameter_.result)
        *parameter_.result = interface_;
}

}  // namespace Zel
