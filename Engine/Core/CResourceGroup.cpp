#include "Core/CResourceGroup.h"

#include <algorithm>

#include "Core/CResource.h"

namespace Zel {

void CResourceGroup::Remove(const CResource* resource) {
    auto it = std::find(resources_.begin(), resources_.end(), resource);
    if (it != resources_.end())
        resources_.erase(it);
}

void CResourceGroup::RemoveManagerResources(const CResourceManager* manager) {
    resources_.remove_if(
        [manager](const CResource* resource) { return resource->GetManager() == manager; });
}

}  // namespace Zel
