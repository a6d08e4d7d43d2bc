#include "Entity/Character/ActionTreeNode.h"

#include <iterator>
#include <set>

#include "Core/Factory.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/TiXmlDocument.h"
#include "Core/XmlElements.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"

namespace Zel {

ActionTreeNode::~ActionTreeNode() {
    for (auto& [id, item] : items_) ReleaseItemAction(item);
    if (skeleton_) {
        if (SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager))
            skeletons->ReleaseShared(skeleton_);
    }
}

bool ActionTreeNode::ReleaseItemAction(Item& item) {
    // Without the factory (at shutdown it goes before this manager) the pooled actions are gone
    // with it and must not be touched.
    Factory<Action>* factory = Globals::Find(&Globals::GetActionFactory);
    if (!factory || !item.action || item.action->GetRefCount() != 1)
        return false;
    factory->Release(item.action);
    item.action = nullptr;
    return true;
}

const XmlNode* ActionTreeNode::OpenDance(TiXmlDocument& document, const std::string& path) {
    if (!document.LoadFile(path.c_str())) {
        LogTyped(LOG_ENGINE_INIT, "打开动作库文件失败! %s", path.c_str());
        return nullptr;
    }
    const XmlNode* root = document.first_node();
    if (!root || std::string_view(root->name(), root->name_size()) != "DANCE") {
        LogTyped(LOG_ENGINE_INIT, "动作库缺少DANCE标记! %s", path.c_str());
        return nullptr;
    }
    return root;
}

bool ActionTreeNode::Read(const std::string& path) {
    fileName_ = path;
    TiXmlDocument document;
    const XmlNode* root = OpenDance(document, path);
    if (!root)
        return false;
    if (const char* figure =
            XmlAttributeValue(XmlChildElementByName(root, "FigNode"), "RootFigFileName")) {
        rootFigFileName_ = figure;
        newFigure_ = rootFigFileName_.rfind("new_", 0) == 0;
        if (SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager))
            skeleton_ = skeletons->GetOrLoad(rootFigFileName_);
        if (skeleton_)
            splitBones_ = skeleton_->FindSplitBones();
    }
    if (const char* include =
            XmlAttributeValue(XmlChildElementByName(root, "IncludeAction"), "ActionFileName"))
        includeName_ = include;
    for (const XmlNode* node = XmlChildElementByName(root, "ActionNode"); node;
         node = XmlNextElementByName(node, "ActionNode")) {
        for (const XmlNode* element = XmlChildElementByName(node, "Item"); element;
             element = XmlNextElementByName(element, "Item")) {
            const char* id = XmlAttributeValue(element, "id");
            const char* file = XmlAttributeValue(element, "file");
            if (!id || !file) {
                LogTyped(LOG_ENGINE_INIT, "动作库缺少ID或FILE标记!");
                continue;
            }
            Item item;
            item.file = file;
            if (!items_.try_emplace(id, std::move(item)).second)
                LogTyped(LOG_ENGINE_INIT, "发现重名动作! %s", id);
        }
    }
    return true;
}

ActionTreeNode::Item* ActionTreeNode::FindOwnItem(std::string_view id) {
    const auto it = items_.find(id);
    return it == items_.end() ? nullptr : &it->second;
}

ActionTreeNode::Item* ActionTreeNode::FindItem(std::string_view id) {
    std::set<const ActionTreeNode*> visited;
    for (ActionTreeNode* tree = this; tree && visited.insert(tree).second; tree = tree->included_) {
        if (Item* item = tree->FindOwnItem(id))
            return item;
    }
    const std::string text(id);
    LogTyped(LOG_ENGINE_INIT, "没有此动作的记录! %s", text.c_str());
    return nullptr;
}

ActionTreeNode::Item* ActionTreeNode::GetItemAt(std::uint32_t n) {
    if (n >= items_.size())
        return nullptr;
    return &std::next(items_.begin(), n)->second;
}

}  // namespace Zel
