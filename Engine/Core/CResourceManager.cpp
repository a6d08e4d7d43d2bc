#include "Core/CResourceManager.h"

#include "Core/CResourceGroupManager.h"
#include "Core/Globals.h"

namespace Zel {
namespace {
CResourceGroupManager* GroupRegistry() {
    return Globals::Find(&Globals::GetResourceGroupManager);
}
}  // namespace

CResourceManager::~CResourceManager() {
    CResourceGroupManager* registry = GroupRegistry();
    if (registry && registry->GetManager(typeName_) == this)
        registry->UnregisterManager(typeName_);
}

void CResourceManager::RegisterType(const char* typeName) {
    typeName_ = typeName;
    if (CResourceGroupManager* registry = GroupRegistry())
        registry->RegisterManager(typeName_, this);
}

}  // namespace Zel
