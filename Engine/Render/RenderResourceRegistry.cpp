#include "Render/RenderResourceRegistry.h"

#include <algorithm>

#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Render/RenderResourceManager.h"

namespace Zel {

RenderResourceRegistry::~RenderResourceRegistry() {
    const std::size_t left = GetRegisteredCount();
    if (left)
        LogWarning("RenderResourceRegistry: %zu managers still registered", left);
}

void RenderResourceRegistry::Register(RenderResourceManager* manager) {
    if (!manager || std::find(managers_.begin(), managers_.end(), manager) != managers_.end())
        return;
    managers_.push_back(manager);
}

void RenderResourceRegistry::Unregister(RenderResourceManager* manager) {
    if (!manager)
        return;
    std::replace(managers_.begin(), managers_.end(), manager,
                 static_cast<RenderResourceManager*>(nullptr));
}

void RenderResourceRegistry::NotifyDeviceLost() {
    // By index: a manager may register another while it is told.
    for (std::size_t i = 0; i < managers_.size(); ++i)
        if (managers_[i])
            managers_[i]->OnLostDevice();
}

void RenderResourceRegistry::NotifyDeviceReset() {
    for (std::size_t i = 0; i < managers_.size(); ++i)
        if (managers_[i])
            managers_[i]->OnResetDevice();
}

std::size_t RenderResourceRegistry::GetRegisteredCount() const {
    return static_cast<std::size_t>(
        std::count_if(managers_.begin(), managers_.end(), [](auto* m) { return m != nullptr; }));
}

void RegisterRenderResourceManager(RenderResourceManager* manager) {
    if (RenderResourceRegistry* registry = Globals::Find(&Globals::GetRenderResourceRegistry))
        registry->Register(manager);
}

void UnregisterRenderResourceManager(RenderResourceManager* manager) {
    if (RenderResourceRegistry* registry = Globals::Find(&Globals::GetRenderResourceRegistry))
        registry->Unregister(manager);
}

}  // namespace Zel
