#include "Entity/Character/ActionRegistry.h"

#include <iterator>

#include "Core/DebugHelperImpl.h"
#include "Core/Factory.h"
#include "Core/Globals.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/Skeleton.h"

namespace Zel {

namespace {

const char* SkeletonName(const Skeleton* skeleton) {
    return skeleton ? skeleton->GetName().c_str() : "";
}

}  // namespace

ActionRegistry::~ActionRegistry() {
    ReleaseUnreferenced();
}

bool ActionRegistry::Register(const std::string& name, Action* action, const Skeleton* skeleton) {
    Action*& slot = actions_[name];
    if (slot) {
        if (DebugHelperImpl* reporter = Globals::Find(&Globals::GetDebugHelper))
            reporter->Error("动作:%s已经存在重复创建！动作所属骨骼：name=%s,address=%p",
                            name.c_str(), SkeletonName(skeleton),
                            static_cast<const void*>(skeleton));
        return false;
    }
    slot = action;
    return true;
}

Action* ActionRegistry::Find(std::string_view name) const {
    const auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

bool ActionRegistry::Contains(std::string_view name) const {
    return actions_.find(name) != actions_.end();
}

Action* ActionRegistry::GetAt(std::uint32_t n) const {
    if (n >= actions_.size())
        return nullptr;
    return std::next(actions_.begin(), n)->second;
}

void ActionRegistry::AddNames(const std::vector<std::string>& names) {
    for (const std::string& name : names) actions_.try_emplace(name, nullptr);
}

std::uint32_t ActionRegistry::CheckReferences(const Skeleton* skeleton) const {
    std::uint32_t wrong = 0;
    DebugHelperImpl* reporter = Globals::Find(&Globals::GetDebugHelper);
    for (const auto& [name, action] : actions_) {
        if (!action || action->GetRefCount() == 1)
            continue;
        ++wrong;
        if (reporter)
            reporter->Error("动作:%s引用计数错误,应为1，实为：%d,所属骨骼:name = %s,address=%p",
                            name.c_str(), static_cast<int>(action->GetRefCount()),
                            SkeletonName(skeleton), static_cast<const void*>(skeleton));
    }
    return wrong;
}

std::uint32_t ActionRegistry::ReleaseUnreferenced() {
    // Without the factory (at shutdown it goes before the action manager) the pooled actions
    // are gone with it and must not be touched.
    Factory<Action>* factory = Globals::Find(&Globals::GetActionFactory);
    if (!factory)
        return 0;
    std::uint32_t released = 0;
    for (auto& [name, action] : actions_) {
        if (!action || action->GetRefCount() != 1)
            continue;
        factory->Release(action);
        action = nullptr;
        ++released;
    }
    return released;
}

}  // namespace Zel
