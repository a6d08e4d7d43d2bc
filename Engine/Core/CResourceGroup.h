// A named group of resources in the group registry (CResourceGroupManager). The group does not
// own its resources; their managers do.
#pragma once

#include <list>

#include "Core/Object.h"

namespace Zel {

class CResource;
class CResourceManager;

class CResourceGroup : public Object {
public:
    CResourceGroup() = default;
    ZEL_CLASS_ID(CResourceGroup)

    void Add(CResource* resource) { resources_.push_back(resource); }
    // Removes the first entry holding the resource.
    void Remove(const CResource* resource);
    // Removes every entry whose resource belongs to the manager.
    void RemoveManagerResources(const CResourceManager* manager);
    const std::list<CResource*>& GetResources() const { return resources_; }

private:
    std::list<CResource*> resources_;
};

}  // namespace Zel
