#include "Core/CResourceGroupManager.h"

#include "Core/LogDispatch.h"

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

}  // namespace Zel
