#include "Thread/level_loader.h"

#include "Interface/ILevel.h"

namespace Zel {

void level_loader::Reset() {
    parameter_ = LevelLoadTaskParameter{};
    interface_ = nullptr;
    itask::Reset();
}

void level_loader::SetParameter(const void* parameter) {
    if (parameter)
        parameter_ = *static_cast<const LevelLoadTaskParameter*>(parameter);
}

std::int32_t level_loader::OnTaskBegin() {
    SetResult(0);
    Level* level = parameter_.level;
    if (!level) {
        SetResult(11);
        return -1;
    }
    const bool loaded = level->Load(parameter_.name);
    interface_ = loaded ? static_cast<ZelI::ILevel*>(level->GetInterface()) : nullptr;
    if (parameter_.result)
        *parameter_.result = interface_;
    if (!loaded) {
        SetResult(12);
        return -1;
    }
    return 1;
}

void level_loader::OnTaskCancel() {
    if (IsCancelled() && interface_ && parameter_.level)
        parameter_.level->DetachInterface();
    interface_ = nullptr;
    SetCancelled(false);
}

}  // namespace Zel
