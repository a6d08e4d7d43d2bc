// The named actions of one shared action set, in name order. The registry holds one reference to
// each action it keeps (the count an action has when nobody else plays it).
//
// Threads: filled by loading tasks on the worker thread, read on the host thread; the task
// lock-step keeps them apart.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Zel {

class Action;
class Skeleton;

class ActionRegistry {
public:
    ActionRegistry() = default;
    ActionRegistry(const ActionRegistry&) = delete;
    ActionRegistry& operator=(const ActionRegistry&) = delete;
    // Gives every action nobody else holds back to the action factory.
    ~ActionRegistry();

    // Stores the action under the name (a name entered without an action takes it); a name that
    // already has an action is reported as a duplicate (naming the skeleton) and false answered.
    bool Register(const std::string& name, Action* action, const Skeleton* skeleton);
    Action* Find(std::string_view name) const;
    bool Contains(std::string_view name) const;
    // The n-th action in name order; null out of range or for a name without an action.
    Action* GetAt(std::uint32_t n) const;
    std::uint32_t GetCount() const { return static_cast<std::uint32_t>(actions_.size()); }
    // Enters the absent names without actions.
    void AddNames(const std::vector<std::string>& names);
    // Reports every action whose reference count is not 1; answers how many.
    std::uint32_t CheckReferences(const Skeleton* skeleton) const;
    // Gives every action whose count is 1 back to the action factory and empties its entry;
    // answers how many.
    std::uint32_t ReleaseUnreferenced();

private:
    std::map<std::string, Action*, std::less<>> actions_;
};

}  // namespace Zel
