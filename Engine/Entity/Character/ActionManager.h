// The manager of action resources. It is registered under the type name "ActionResource" with the
// group registry of Globals from its construction to its destruction. Action files are read by
// the reader registered for their extension (compressed ".ac6" files from the start; other
// formats are added by their readers).
//
// It hands out pooled actions bound to a skeleton in two ways: through action trees, one per
// skeleton, read from "DANCE" files (an item's file is read on the item's first use), and through
// shared action sets, keyed by a 64-bit set id (SetIdOf gives a skeleton's own set, unloaded when
// the skeleton goes).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Core/CResourceManager.h"

namespace Zel {

class Action;
class ActionOwner;
class ActionRegistry;
class ActionResource;
class ActionTreeNode;
class Skeleton;

class ActionManager : public CResourceManager {
public:
    // Fills the resource from the file of the path; answers success.
    using Reader = std::function<bool(ActionResource& resource, const std::string& path)>;

    // The height factors of tree actions by figure byte (0, other).
    static constexpr float kNewFigureHeight[2] = {1.0f, 1.0306413f};
    static constexpr float kNewActorNewFigureHeight[2] = {0.84488744f, 0.8434043f};
    static constexpr float kNewActorOldFigureHeight[2] = {0.828321f, 0.8183296f};
    // Global switches read here.
    static constexpr std::uint32_t kSubstituteTankIdleSwitch = 37;
    static constexpr std::uint32_t kNoSubstituteSwitch = 56;

    // Built by Globals::Init, host thread.
    ActionManager();
    // Trees and sets go first (their actions give their resources back), then the resources.
    ~ActionManager() override;

    // An empty ActionResource of the name.
    CResource* CreateImpl(std::string_view name, std::string_view source) override;
    ZEL_CLASS_ID(ActionManager)

    // Registers the reader of the files whose names end in the extension (compared without
    // case, without the dot); an empty reader removes it.
    void SetReader(const std::string& extension, Reader reader);
    // The reader for the path's extension over the resource, holding the manager's lock; false
    // (logged) when no reader takes the extension.
    bool ReadActionFile(ActionResource& resource, const std::string& path);

    // Binds the action to the skeleton and the resource of the names: the skeleton through the
    // skeleton manager, the resource from this manager, read (with the skeleton bound first)
    // when it is new. False, leaving the action unbound, when the skeleton or the resource
    // cannot be had; a resource whose read failed is removed again. A skeleton without bones
    // while switch 49 (no action load) is on binds the resource without bone states.
    bool LoadActionResource(Action& action, std::string_view skeletonName,
                            std::string_view resourceName);
    // The same with a skeleton the caller holds (the action takes a reference of its own).
    bool LoadActionResource(Action& action, Skeleton* skeleton, std::string_view resourceName);

    // Binds the resource to the skeleton of the name in place of the one it held (the action
    // readers' step once a resource is read).
    void ReplaceSharedAction(ActionResource& resource, std::string_view skeletonName);

    // Trees. Reads the "DANCE" list file of tree files and each tree, after dropping the trees
    // before and collecting the resources nobody uses; one tree per skeleton (a later one for
    // the same skeleton is dropped); includes link to the first tree listed under that name.
    // False when the list file cannot be read.
    bool LoadActionTree(const std::string& listFile);
    ActionTreeNode* GetActionTree(const Skeleton* skeleton) const;
    // The n-th tree in the order the list file named them; null out of range.
    ActionTreeNode* GetTreeAt(std::size_t n) const {
        return n < trees_.size() ? trees_[n].get() : nullptr;
    }
    // The action of the id in the tree of the owner's skeleton, made, read and bound on first
    // use; 1 when it is ready (in out, when given), else 0.
    int GetTreeItemAction(ActionOwner& owner, std::string_view id, Action** out = nullptr);
    // The action the item of the id already holds (nothing is read); null without one.
    Action* FindTreeItemAction(std::string_view id, ActionOwner& owner);
    // The action of the n-th item (in id order) of the skeleton's tree; null without one.
    Action* GetTreeItemActionAt(const Skeleton* skeleton, std::uint32_t n);
    // Gives the item's action back when only the tree holds it.
    bool ReleaseTreeAction(ActionOwner& owner, std::string_view id);
    // Deletes every tree (their actions go back) and collects and purges the resources nobody
    // uses any more.
    void ReleaseActionTrees();

    // Shared sets.
    static std::uint64_t SetIdOf(const Skeleton* skeleton) {
        return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(skeleton));
    }
    // Reads the action file of the name and registers a new action bound to it and the skeleton
    // in the set (made on first use); true at once when the set has the name already. A failed
    // read is reported, removed and registers nothing.
    bool AddSharedAction(std::uint64_t set, const std::string& name, Skeleton* skeleton);
    // Enters the names in the set (made on first use) without actions.
    void AddToSharedSet(std::uint64_t set, const std::vector<std::string>& names);
    Action* GetSharedActionByName(std::uint64_t set, std::string_view name) const;
    Action* GetSharedActionByIndex(std::uint64_t set, std::uint32_t n) const;
    bool HasSharedAction(std::uint64_t set, std::string_view name) const;
    std::uint32_t GetSharedSetCount(std::uint64_t set) const;
    // Gives back the actions of the set nobody else holds; false without the set.
    bool ReleaseSharedSet(std::uint64_t set);
    // Reports actions still held elsewhere, gives back the others and deletes the set; false
    // without the set.
    bool UnloadActionLib(std::uint64_t set);

private:
    ActionRegistry* FindSet(std::uint64_t set) const;
    // The item's root scaling for the owner (by the tree's figure and the owner's kind).
    void WorkOutScaling(ActionTreeNode& tree, std::string_view id, ActionOwner& owner,
                        Action& action);
    // Constant tracks that match their bone's bind pose keep their rotation.
    static void MarkBindPoseTracks(ActionResource& resource, const Skeleton& skeleton);

    std::map<std::string, Reader> readers_;
    std::vector<std::unique_ptr<ActionTreeNode>> trees_;
    std::map<const Skeleton*, ActionTreeNode*> treeMap_;
    std::map<std::uint64_t, std::unique_ptr<ActionRegistry>> sets_;
};

}  // namespace Zel
