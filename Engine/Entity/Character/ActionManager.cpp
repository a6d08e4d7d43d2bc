#include "Entity/Character/ActionManager.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <set>

#include "Core/DebugHelperImpl.h"
#include "Core/EnginePaths.h"
#include "Core/Factory.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/IZelStdFileStream.h"
#include "Core/LogDispatch.h"
#include "Core/TiXmlDocument.h"
#include "Core/XmlElements.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/ActionOwner.h"
#include "Entity/Character/ActionRegistry.h"
#include "Entity/Character/ActionResource.h"
#include "Entity/Character/ActionTreeNode.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"
#include "Entity/Geometry/AnimationTrack.h"
#include "Math/Matrix4.h"

namespace Zel {

namespace {

constexpr float kBindTolerance = 0.001f;

std::string LowerExtension(std::string_view path) {
    const std::size_t dot = path.find_last_of('.');
    std::string extension(dot == std::string_view::npos ? std::string_view()
                                                        : path.substr(dot + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// Reads the whole compressed file and builds the resource's tracks from it.
bool ReadCompressedFile(ActionResource& resource, const std::string& path) {
    IZelStdFileStream file(path);
    if (!file.IsOpen()) {
        LogError("ActionManager: cannot open the action file %s", path.c_str());
        return false;
    }
    std::vector<std::uint8_t> bytes(file.GetSize());
    if (!bytes.empty() && file.Read(bytes.data(), file.GetSize()) != file.GetSize())
        return false;
    return resource.ReadCompressed(bytes.data(), bytes.size());
}

const char* NameOf(const Skeleton* skeleton) {
    return skeleton ? skeleton->GetName().c_str() : "";
}

void Normalise(float* q) {
    const float length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (length > 0.0f)
        for (int k = 0; k < 4; ++k) q[k] /= length;
}

// Two rotations agree when q1 + q2 or q1 - q2 vanishes (q and -q are one rotation).
bool SameRotation(const float* a, const float* b) {
    bool sum = true, difference = true;
    for (int k = 0; k < 4; ++k) {
        sum = sum && std::fabs(a[k] + b[k]) <= kBindTolerance;
        difference = difference && std::fabs(a[k] - b[k]) <= kBindTolerance;
    }
    return sum || difference;
}

}  // namespace

ActionManager::ActionManager() {
    RegisterType("ActionResource");
    SetReader("ac6", ReadCompressedFile);
}

ActionManager::~ActionManager() {
    sets_.clear();
    treeMap_.clear();
    trees_.clear();
}

CResource* ActionManager::CreateImpl(std::string_view name, std::string_view) {
    return new ActionResource(this, name, GetTypeName(), NextHandle());
}

void ActionManager::SetReader(const std::string& extension, Reader reader) {
    const std::string key = LowerExtension("." + extension);
    if (reader)
        readers_[key] = std::move(reader);
    else
        readers_.erase(key);
}

bool ActionManager::ReadActionFile(ActionResource& resource, const std::string& path) {
    locksection& lock = GetManagerLock();
    lock.Enter();
    const auto reader = readers_.find(LowerExtension(path));
    bool ok = false;
    if (reader == readers_.end())
        LogError("ActionManager: no reader for the action file %s", path.c_str());
    else
        ok = reader->second(resource, path);
    lock.Leave();
    return ok;
}

bool ActionManager::LoadActionResource(Action& action, std::string_view skeletonName,
                                       std::string_view resourceName) {
    SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager);
    Skeleton* skeleton = skeletons ? skeletons->GetOrLoad(skeletonName) : nullptr;
    if (!skeleton) {
        LogError("ActionManager: no skeleton %.*s for the action %.*s",
                 static_cast<int>(skeletonName.size()), skeletonName.data(),
                 static_cast<int>(resourceName.size()), resourceName.data());
        return false;
    }
    const bool ok = LoadActionResource(action, skeleton, resourceName);
    skeletons->ReleaseShared(skeleton);
    return ok;
}

bool ActionManager::LoadActionResource(Action& action, Skeleton* skeleton,
                                       std::string_view resourceName) {
    SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager);
    if (!skeleton || !skeletons)
        return false;
    const auto acquire = [&] {
        return static_cast<Skeleton*>(skeletons->AcquireByName(skeleton->GetName()));
    };
    auto* resource = static_cast<ActionResource*>(Create(resourceName));
    if (resource && !resource->IsLoaded()) {
        // The read needs the skeleton's bones, so the skeleton is bound first.
        resource->BindSkeleton(acquire());
        resource->Load(std::string(resourceName));
    }
    if (!resource || !resource->IsLoadSucceeded()) {
        LogError("ActionManager: the action file %.*s could not be read",
                 static_cast<int>(resourceName.size()), resourceName.data());
        if (resource)
            Remove(resource);
        return false;
    }
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (skeleton->GetBoneCount() == 0 && config && config->NoActionLoad())
        action.Bind(resource, nullptr);
    else
        action.Bind(resource, acquire());
    return true;
}

void ActionManager::ReplaceSharedAction(ActionResource& resource, std::string_view skeletonName) {
    resource.ReplaceSkeleton(skeletonName);
}

void ActionManager::ReleaseActionTrees() {
    treeMap_.clear();
    trees_.clear();
    // Only the resources nobody uses go; actions still playing keep theirs.
    Collect();
    Purge();
}

bool ActionManager::LoadActionTree(const std::string& listFile) {
    ReleaseActionTrees();
    TiXmlDocument document;
    const XmlNode* root = ActionTreeNode::OpenDance(document, listFile);
    if (!root)
        return false;
    for (const XmlNode* node = XmlChildElementByName(root, "XMLNode"); node;
         node = XmlNextElementByName(node, "XMLNode")) {
        const char* file = XmlAttributeValue(node, "file");
        auto tree = std::make_unique<ActionTreeNode>();
        if (!tree->Read(file ? file : ""))
            continue;
        if (tree->GetSkeleton()) {
            if (treeMap_.count(tree->GetSkeleton()))
                continue;
            treeMap_[tree->GetSkeleton()] = tree.get();
        }
        trees_.push_back(std::move(tree));
    }
    for (const std::unique_ptr<ActionTreeNode>& tree : trees_) {
        if (tree->GetIncludeName().empty() || tree->GetIncluded())
            continue;
        for (const std::unique_ptr<ActionTreeNode>& other : trees_) {
            if (other->GetFileName() == tree->GetIncludeName()) {
                tree->SetIncluded(other.get());
                break;
            }
        }
    }
    return true;
}

ActionTreeNode* ActionManager::GetActionTree(const Skeleton* skeleton) const {
    const auto it = treeMap_.find(skeleton);
    return it == treeMap_.end() ? nullptr : it->second;
}

void ActionManager::WorkOutScaling(ActionTreeNode& tree, std::string_view id, ActionOwner& owner,
                                   Action& action) {
    const int column = owner.GetFigure() != 0 ? 1 : 0;
    Action::RootScaling scaling;
    if (tree.IsNewFigure() && !owner.IsNewActor()) {
        scaling.height = true;
        scaling.factor = kNewFigureHeight[column];
    } else if (tree.IsNewFigure()) {
        scaling.planar = scaling.height = true;
        scaling.factor = kNewActorNewFigureHeight[column];
    } else if (owner.IsNewActor()) {
        SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager);
        Skeleton* figure = skeletons ? skeletons->DefaultFigFile(column != 0) : nullptr;
        ActionTreeNode* base = GetActionTree(figure);
        const ActionTreeNode::Item* mine = tree.FindOwnItem(id);
        const ActionTreeNode::Item* theirs = base ? base->FindOwnItem(id) : nullptr;
        if (mine && theirs && mine->file == theirs->file) {
            scaling.height = true;
            scaling.factor = kNewActorOldFigureHeight[column];
        }
        if (figure)
            skeletons->ReleaseShared(figure);
    }
    action.SetRootScaling(scaling);
}

void ActionManager::MarkBindPoseTracks(ActionResource& resource, const Skeleton& skeleton) {
    for (std::uint32_t i = 0; i < resource.GetTrackCount(); ++i) {
        AnimationTrack* track = resource.GetTrack(i);
        const std::int32_t id = resource.GetBoneId(i);
        const Bone* bone = id < 0 ? nullptr : skeleton.GetBone(static_cast<std::uint32_t>(id));
        if (!track || !bone || !track->IsConstant())
            continue;
        float scale[3], rotation[4], translation[3];
        Matrix4::Decompose(bone->GetParentRelativeMatrix(), scale, rotation, translation);
        float own[4];
        std::memcpy(own, track->GetBaseRotation(), sizeof own);
        Normalise(own);
        Normalise(rotation);
        bool samePlace = true;
        for (int k = 0; k < 3; ++k)
            samePlace = samePlace &&
                        std::fabs(track->GetBasePosition()[k] - translation[k]) <= kBindTolerance;
        if (samePlace && SameRotation(own, rotation))
            track->SetFlags(track->GetFlags() | AnimationTrack::kKeepsRotation);
    }
}

int ActionManager::GetTreeItemAction(ActionOwner& owner, std::string_view id, Action** out) {
    Skeleton* skeleton = owner.GetSkeleton();
    ActionTreeNode* tree = GetActionTree(skeleton);
    ActionTreeNode::Item* item = tree ? tree->FindItem(id) : nullptr;
    if (!item)
        return 0;
    if (!item->action) {
        Factory<Action>* factory = Globals::Find(&Globals::GetActionFactory);
        Action* action = factory ? factory->Acquire() : nullptr;
        if (!action)
            return 0;
        WorkOutScaling(*tree, id, owner, *action);
        // The resource is named after the file actually read, so a substituted file never
        // stands in for the item's own file elsewhere.
        std::string file = item->file;
        if (!GetByName(file) && !IsGlobalSwitchOn(49) && !IsGlobalSwitchOn(kNoSubstituteSwitch) &&
            IsGlobalSwitchOn(kSubstituteTankIdleSwitch)) {
            std::set<const ActionTreeNode*> visited;
            for (ActionTreeNode* t = tree; t && visited.insert(t).second; t = t->GetIncluded()) {
                if (const ActionTreeNode::Item* tank = t->FindOwnItem(GetDefaultActionName())) {
                    file = tank->file;
                    break;
                }
            }
        }
        action->SetName(item->file);
        if (!LoadActionResource(*action, skeleton, file)) {
            if (DebugHelperImpl* reporter = Globals::Find(&Globals::GetDebugHelper))
                reporter->Error("读取人物动作文件失败! %s,所属骨骼:name = %s,address=%p",
                                file.c_str(), NameOf(skeleton), static_cast<void*>(skeleton));
            factory->Release(action);
            return 0;
        }
        MarkBindPoseTracks(*action->GetResource(), *skeleton);
        item->action = action;
    }
    if (out)
        *out = item->action;
    return 1;
}

Action* ActionManager::FindTreeItemAction(std::string_view id, ActionOwner& owner) {
    ActionTreeNode* tree = GetActionTree(owner.GetSkeleton());
    ActionTreeNode::Item* item = tree ? tree->FindItem(id) : nullptr;
    return item ? item->action : nullptr;
}

Action* ActionManager::GetTreeItemActionAt(const Skeleton* skeleton, std::uint32_t n) {
    ActionTreeNode* tree = GetActionTree(skeleton);
    ActionTreeNode::Item* item = tree ? tree->GetItemAt(n) : nullptr;
    return item ? item->action : nullptr;
}

bool ActionManager::ReleaseTreeAction(ActionOwner& owner, std::string_view id) {
    ActionTreeNode* tree = GetActionTree(owner.GetSkeleton());
    ActionTreeNode::Item* item = tree ? tree->FindItem(id) : nullptr;
    return item && ActionTreeNode::ReleaseItemAction(*item);
}

ActionRegistry* ActionManager::FindSet(std::uint64_t set) const {
    const auto it = sets_.find(set);
    return it == sets_.end() ? nullptr : it->second.get();
}

bool ActionManager::AddSharedAction(std::uint64_t set, const std::string& name,
                                    Skeleton* skeleton) {
    std::unique_ptr<ActionRegistry>& registry = sets_[set];
    if (!registry)
        registry = std::make_unique<ActionRegistry>();
    if (registry->Find(name))
        return true;
    Factory<Action>* factory = Globals::Find(&Globals::GetActionFactory);
    Action* action = factory ? factory->Acquire() : nullptr;
    if (!action)
        return false;
    action->SetName(name);
    if (!LoadActionResource(*action, skeleton, name)) {
        if (DebugHelperImpl* reporter = Globals::Find(&Globals::GetDebugHelper))
            reporter->Error("读取动作文件失败! %s,所属骨骼:name = %s,address=%p", name.c_str(),
                            NameOf(skeleton), static_cast<void*>(skeleton));
        factory->Release(action);
        return false;
    }
    if (!registry->Register(name, action, skeleton)) {
        factory->Release(action);
        return false;
    }
    return true;
}

void ActionManager::AddToSharedSet(std::uint64_t set, const std::vector<std::string>& names) {
    std::unique_ptr<ActionRegistry>& registry = sets_[set];
    if (!registry)
        registry = std::make_unique<ActionRegistry>();
    registry->AddNames(names);
}

Action* ActionManager::GetSharedActionByName(std::uint64_t set, std::string_view name) const {
    const ActionRegistry* registry = FindSet(set);
    return registry ? registry->Find(name) : nullptr;
}

Action* ActionManager::GetSharedActionByIndex(std::uint64_t set, std::uint32_t n) const {
    const ActionRegistry* registry = FindSet(set);
    return registry ? registry->GetAt(n) : nullptr;
}

bool ActionManager::HasSharedAction(std::uint64_t set, std::string_view name) const {
    const ActionRegistry* registry = FindSet(set);
    return registry && registry->Contains(name);
}

std::uint32_t ActionManager::GetSharedSetCount(std::uint64_t set) const {
    const ActionRegistry* registry = FindSet(set);
    return registry ? registry->GetCount() : 0;
}

bool ActionManager::ReleaseSharedSet(std::uint64_t set) {
    ActionRegistry* registry = FindSet(set);
    if (!registry)
        return false;
    registry->ReleaseUnreferenced();
    return true;
}

bool ActionManager::UnloadActionLib(std::uint64_t set) {
    const auto it = sets_.find(set);
    if (it == sets_.end())
        return false;
    it->second->CheckReferences(nullptr);
    it->second->ReleaseUnreferenced();
    sets_.erase(it);
    return true;
}

}  // namespace Zel
