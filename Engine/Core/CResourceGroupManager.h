// The registry of resource managers by type name (Globals::GetResourceGroupManager), and the
// holder of resource groups by group name. Built by the Globals constructor, before any manager,
// and destroyed after every manager has unregistered. Managers call it from the threads they run
// on; it serialises itself with its own lock.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>

#include "Core/CResourceGroup.h"
#include "Core/Object.h"
#include "Core/locksection.h"

namespace Zel {

class CResource;
class CResourceManager;

class CResourceGroupManager : public Object {
public:
    CResourceGroupManager();
    // Logs a warning naming every manager still registered (each should have left).
    ~CResourceGroupManager() override;

    std::uint32_t GetClassId() const override { return ClassId::CResourceGroupManager; }
    const char* GetClassName() const override {
        return GetRegisteredClassName(ClassId::CResourceGroupManager);
    }

    // Enters the manager under the type name unless a manager is already registered under it
    // (the first one stays).
    void RegisterManager(const std::string& typeName, CResourceManager* manager);
    // Erases the entry of the type name.
    void UnregisterManager(const std::string& typeName);
    // The manager registered under the type name; null when none is.
    CResourceManager* GetManager(const std::string& typeName) const;
    std::size_t GetManagerCount() const { return managers_.size(); }

    // Files the resource in the group named by its group (made on first use).
    void AddResource(CResource* resource);
    // Removes the first entry of the resource from the group named by its group.
    void RemoveResource(const CResource* resource);
    // Removes every entry whose resource belongs to the manager, from every group.
    void RemoveManagerResources(const CResourceManager* manager);
    // The group of that name; null when there is none.
    CResourceGroup* GetGroup(const std::string& groupName);

private:
    std::map<std::string, CResourceManager*> managers_;
    std::map<std::string, std::unique_ptr<CResourceGroup>> groups_;
    locksection groupLock_;
};

}  // namespace Zel
