// One action tree read from a "DANCE" tree file: the action ids of one skeleton mapped to their
// action files, the skeleton (from the root figure file), its split bones, and the name of the
// tree it includes, whose items answer ids this tree lacks. An item's action is made on its first
// use (ActionManager::GetTreeItemAction) and held by the item.
//
// Threads: read by the loading tasks on the worker thread, looked up on the host thread; the task
// lock-step keeps them apart.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "Core/TiXmlDocument.h"

namespace Zel {

class Action;
class Skeleton;

class ActionTreeNode {
public:
    struct Item {
        Action* action = nullptr;
        std::string file;
        std::uint8_t flags = 0;
    };

    ActionTreeNode() = default;
    ActionTreeNode(const ActionTreeNode&) = delete;
    ActionTreeNode& operator=(const ActionTreeNode&) = delete;
    // Gives back the item actions nobody else holds and the skeleton.
    ~ActionTreeNode();

    // Reads the tree file of the path (its name as listed is kept as the tree's file name).
    // False, logged, when it cannot be opened or has no "DANCE" root; items without an id or a
    // file and repeated ids are logged and skipped.
    bool Read(const std::string& path);

    const std::string& GetFileName() const { return fileName_; }
    const std::string& GetRootFigFileName() const { return rootFigFileName_; }
    const std::string& GetIncludeName() const { return includeName_; }
    ActionTreeNode* GetIncluded() const { return included_; }
    void SetIncluded(ActionTreeNode* tree) { included_ = tree; }
    // Held with one reference; null when the figure could not be had.
    Skeleton* GetSkeleton() const { return skeleton_; }
    const std::vector<std::uint8_t>& GetSplitBones() const { return splitBones_; }
    // Set for the new figures ("new_..." root figure files), which the height rules treat apart.
    bool IsNewFigure() const { return newFigure_; }
    void SetNewFigure(bool on) { newFigure_ = on; }

    // The item of the id here or along the include links (each tree visited once, so that an
    // include cycle ends); null, logged, when no tree has it.
    Item* FindItem(std::string_view id);
    // The item of the id in this tree alone.
    Item* FindOwnItem(std::string_view id);
    // Loads the "DANCE" file of the path into the document and answers its root; null, logged,
    // when the file cannot be opened or its root is not "DANCE". Tree files and the list of
    // tree files both start so.
    static const XmlNode* OpenDance(TiXmlDocument& document, const std::string& path);

    // The n-th item in id order; null out of range.
    Item* GetItemAt(std::uint32_t n);
    std::uint32_t GetItemCount() const { return static_cast<std::uint32_t>(items_.size()); }
    // Gives the item's action back to the factory when only the item holds it; answers whether
    // it did.
    static bool ReleaseItemAction(Item& item);

private:
    std::string fileName_;
    std::string rootFigFileName_;
    std::string includeName_;
    ActionTreeNode* included_ = nullptr;
    Skeleton* skeleton_ = nullptr;
    std::vector<std::uint8_t> splitBones_;
    bool newFigure_ = false;
    std::map<std::string, Item, std::less<>> items_;
};

}  // namespace Zel
