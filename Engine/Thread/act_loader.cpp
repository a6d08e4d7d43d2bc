#include "Thread/act_loader.h"

#include "Core/Globals.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/SkeletonModel.h"

namespace Zel {

void act_loader::Reset() {
    parameter_ = ActionLoadTaskParameter{};
    itask::Reset();
}

void act_loader::SetParameter(const void* parameter) {
    if (parameter)
        parameter_ = *static_cast<const ActionLoadTaskParameter*>(parameter);
}

std::int32_t act_loader::OnTaskBegin() {
    SetResult(0);
    ActionManager* actions = Globals::Find(&Globals::GetActionManager);
    if (!actions || !parameter_.model ||
        actions->GetTreeItemAction(*parameter_.model, parameter_.name) == 0) {
        SetResult(16);
        return -1;
    }
    return 1;
}

}  // namespace Zel
