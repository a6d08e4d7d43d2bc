#include "Core/CResourceGroupManager.h"

#include "Core/CResource.h"
#include "Core/LogDispatch.h"
#include "Core/SectionGuard.h"

namespace Zel {

CResourceGroupManager::CResourceGroupManager() = default;

CResourceGroupManager::~CResourceGroupManager() {
    for (const auto& [typeName, manager] : managers_)
        LogWarning("CResourceGroupManager: manager \"%s\" still registered", typeName.c_str());
}

void CResourceGroupManager::RegisterManager(const std::string& typeName,
                                            CResourceManager* manager) {
    CResourceManager*& entry = managers_[typeName];
    if (!entry)
        entry = manager;
}

void CResourceGroupManager::UnregisterManager(const std::string& typeName) {
    managers_.erase(typeName);
}

CResourceManager* CResourceGroupManager::GetManager(const std::string& typeName) const {
    auto it = managers_.find(typeName);
    return it == managers_.end() ? nullptr : it->second;
}

void CResourceGroupManager::AddResource(CResource* resource) {
    if (!resource)
        return;
    SectionGuard guard(groupLock_);
    std::unique_ptr<CResourceGroup>& group = groups_[resource->GetGroup()];
    if (!group)
        group = std::make_unique<CResourceGroup>();
    group->Add(resource);
}

void CResourceGroupManager::RemoveResource(const CResource* resource) {
    if (!resource)
        return;
    SectionGuard guard(groupLock_);
    auto it = groups_.find(resource->GetGroup());
    if (it != groups_.end())
        it->second->Remove(resource);
}

void CResourceGroupManager::RemoveManagerResources(const CResourceManager* manager) {
    SectionGuard guard(groupLock_);
    for (auto& [name, group] : groups_) group->RemoveManagerResources(manager);
}

CResourceGroup* CResourceGroupManager::GetGroup(const std::string& groupName) {
    SectionGuard guard(groupLock_);
    auto it = groups_.find(groupName);
    return it == groups_.end() ? nullptr : it->second.get();
}

}  // namespace Zel
