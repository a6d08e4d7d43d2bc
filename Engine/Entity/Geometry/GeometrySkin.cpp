#include "Entity/Geometry/GeometrySkin.h"

#include <algorithm>
#include <memory>

#include "Core/ChunkStream.h"
#include "Core/DebugHelperImpl.h"
#include "Core/Factory.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/IZelFileStream.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Core/StreamFactory.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/ActionResource.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"
#include "Entity/Geometry/GeometryKind.h"
#include "Entity/Geometry/IOSkinBin.h"
#include "Entity/Geometry/MeshSerializer.h"
#include "Entity/Geometry/ModelDescriptionParser.h"
#include "Entity/Geometry/Skin.h"
#include "Entity/Geometry/SkinDescription.h"
#include "Entity/Geometry/StreamHolder.h"

namespace Zel {

namespace {

Action* Find(const std::vector<std::pair<std::string, Action*>>& map, const std::string& key) {
    for (const auto& [name, action] : map)
        if (name == key)
            return action;
    return nullptr;
}

}  // namespace

GeometrySkin::GeometrySkin(CResourceManager* manager, std::string_view name, std::string_view group,
                           std::uint32_t handle)
    : Geometry(manager, name, group, handle) {}

GeometrySkin::~GeometrySkin() {
    GeometrySkin::UnloadImpl();
}

std::unique_ptr<Mesh> GeometrySkin::CreateMesh(const std::string& name) {
    return std::make_unique<Skin>(this, name);
}

std::uint32_t GeometrySkin::CalculateSize() {
    std::uint64_t size = Geometry::CalculateSize();
    if (skeleton_)
        size += skeleton_->GetSize();
    for (const AnimationRecord& record : records_)
        if (record.action)
            size += record.action->GetSize();
    const auto stored = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, 0xFFFFFFFFu));
    SetSizeField(stored);
    return stored;
}

void GeometrySkin::SetSkeleton(Skeleton* skeleton) {
    Skeleton* previous = skeleton_;
    skeleton_ = skeleton;
    if (previous && previous != skeleton)
        if (SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager))
            skeletons->ReleaseShared(previous);
}

void GeometrySkin::AddAction(Action* action, const std::string& path) {
    if (!action)
        return;
    action->AddRef();
    pathMap_.emplace_back(path, action);
    nameMap_.emplace_back(action->GetName(), action);
    records_.push_back({action->GetName(), path, action});
}

void GeometrySkin::AddAnimation(const std::string& name, const std::string& path) {
    if (GetAnimationByName(name))
        return;
    Action* action = Find(pathMap_, path);
    if (!action) {
        ActionManager* actions = Globals::Find(&Globals::GetActionManager);
        Factory<Action>* factory = Globals::Find(&Globals::GetActionFactory);
        MeshSerializer* serializer = Globals::Find(&Globals::GetMeshSerializer);
        if (!actions || !factory || !serializer || !skeleton_)
            return;
        auto* resource = static_cast<ActionResource*>(actions->GetByName(path));
        if (!resource)
            resource = static_cast<ActionResource*>(actions->Create(path));
        if (!resource)
            return;
        if (!resource->IsLoaded()) {
            const bool read = serializer->LoadSkinActionFromAse(*resource, *this, path);
            actions->ReplaceSharedAction(*resource, skeleton_->GetName());
            resource->SetLoaded(true);
            resource->SetLoadSucceeded(read);
        }
        action = factory->Acquire();
        if (!action)
            return;
        action->SetName(name);
        SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager);
        action->Bind(resource, skeletons ? static_cast<Skeleton*>(
                                               skeletons->AcquireByName(skeleton_->GetName()))
                                         : nullptr);
        action->AddRef();
        pathMap_.emplace_back(path, action);
    }
    nameMap_.emplace_back(name, action);
    records_.push_back({name, path, action});
}

Action* GeometrySkin::GetAnimationByIndex(std::uint32_t i) const {
    if (i < records_.size())
        return records_[i].action;
    if (i < pathMap_.size())
        return pathMap_[i].second;
    return nullptr;
}

Action* GeometrySkin::GetAnimationName(std::uint32_t i, std::string& out) const {
    if (i >= nameMap_.size())
        return nullptr;
    out = nameMap_[i].first;
    return nameMap_[i].second;
}

Action* GeometrySkin::GetAnimationByName(const std::string& name) const {
    if (Action* action = Find(nameMap_, name))
        return action;
    ActionManager* actions = Globals::Find(&Globals::GetActionManager);
    return actions && skeleton_
               ? actions->GetSharedActionByName(ActionManager::SetIdOf(skeleton_), name)
               : nullptr;
}

bool GeometrySkin::HasSharedAction(const std::string& name) const {
    ActionManager* actions = Globals::Find(&Globals::GetActionManager);
    return actions && skeleton_ &&
           actions->HasSharedAction(ActionManager::SetIdOf(skeleton_), name);
}

bool GeometrySkin::AddSharedAction(const std::string& name) {
    ActionManager* actions = Globals::Find(&Globals::GetActionManager);
    return actions && skeleton_ &&
           actions->AddSharedAction(ActionManager::SetIdOf(skeleton_), name, skeleton_);
}

bool GeometrySkin::LoadSharedActions(const std::string& setName, const std::string& listFile) {
    if (setName.empty() || listFile.empty())
        return false;
    return AddSharedAction(listFile);
}

void GeometrySkin::UnloadSharedActions() {
    ActionManager* actions = Globals::Find(&Globals::GetActionManager);
    if (actions && skeleton_)
        actions->ReleaseSharedSet(ActionManager::SetIdOf(skeleton_));
}

bool GeometrySkin::LoadBinarySkin() {
    return ReadChunkFile(GetLoadPath(), [this](IZelStream* stream) {
        return IOGeometrySkinBin::Read(*this, stream, GetDirectory(GetLoadPath()));
    });
}

bool GeometrySkin::LoadImpl() {
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (config && config->GetValue(kSkipCreateSwitch) != 0)
        return true;
    if (config && config->IsPathBlocked(1, GetLoadPath().c_str())) {
        LogTyped(LOG_ENGINE_INIT, "文件%s 被屏蔽", GetLoadPath().c_str());
        return true;
    }
    const std::string saved = GetLoadPath();
    if (config && config->GetValue(kDefaultModelSwitch) != 0)
        SetLoadPath(kDefaultModelPath);
    const std::string path = GetLoadPath();
    const auto binary = [this] { return LoadBinarySkin(); };
    const auto binaryV2 = [this] { return LoadBinaryV2(); };

    bool ok = false;
    const std::uint32_t kind = GetGeometryKindByName(path);
    if (kind == GEOMETRY_KIND_CH2) {
        ok = TryRoad(binaryV2);
    } else if (kind == GEOMETRY_KIND_CH3) {
        ok = TryRoad(binary);
    } else if (kind == GEOMETRY_KIND_AC3) {
        ok = false;
    } else {
        if (config && config->PreferBinaryFiles()) {
            SetLoadPath(ReplaceExtension(path, ".ch3"));
            ok = TryRoad(binary);
            if (!ok) {
                SetLoadPath(ReplaceExtension(path, ".ch2"));
                ok = TryRoad(binaryV2);
            }
            SetLoadPath(path);
        }
        if (!ok) {
            SkinDescription description;
            MeshSerializer* serializer = Globals::Find(&Globals::GetMeshSerializer);
            ok = ParseSkinDescription(path, description) && serializer &&
                 TryRoad([&] { return serializer->LoadSkinFromText(*this, description); });
            if (ok)
                materialFiles_.insert(materialFiles_.end(), description.materialFiles.begin(),
                                      description.materialFiles.end());
        }
    }
    SetLoadPath(saved);
    return ok;
}

void GeometrySkin::UnloadImpl() {
    UnloadSharedActions();
    SetSkeleton(nullptr);
    Factory<Action>* factory = Globals::Find(&Globals::GetActionFactory);
    for (auto& [path, action] : pathMap_) {
        // The geometry's own reference was the last but the factory's: the action goes back.
        if (action->DecRef() <= 1 && factory)
            factory->Release(action);
    }
    records_.clear();
    pathMap_.clear();
    nameMap_.clear();
    Geometry::UnloadImpl();
}

void GeometrySkin::LogLoadResult(bool ok) {
    if (!ok)
        LogTyped(LOG_ENGINE_INIT, "读取GeometrySkin失败");
    else
        LogTyped(LOG_ENGINE_INIT, "%s 占用内存 %d KB", GetLoadPath().c_str(),
                 static_cast<int>(CalculateSize() / 1024));
}

}  // namespace Zel
