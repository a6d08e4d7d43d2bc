// The registry of resource managers by type name (Globals::GetResourceGroupManager). Built by the
// Globals constructor, before any manager, and destroyed after every manager has unregistered. Host
// thread.
#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "Core/Object.h"

namespace Zel {

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

private:
    std::map<std::string, CResourceManager*> managers_;
};

}  // namespace Zel
