// The manager of skeleton resources (it answers the class id of CResourceManager). It is
// registered under the type name "SkeletonResource" with the group registry of Globals from its
// construction to its destruction.
#pragma once

#include "Core/CResourceManager.h"

namespace Zel {

class SkeletonManager : public CResourceManager {
public:
    // Built by Globals::Init, host thread.
    SkeletonManager();
    ~SkeletonManager() override;

    // This manager makes no resources yet: its resource type comes later.
    CResource* CreateImpl(std::string_view, std::string_view) override { return nullptr; }
};

}  // namespace Zel
