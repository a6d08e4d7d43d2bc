// The manager of materials. It is registered under the type name "Material" with the group
// registry of Globals from its construction to its destruction.
#pragma once

#include "Core/CResourceManager.h"

namespace Zel {

class MaterialManager : public CResourceManager {
public:
    // Built by Globals::Init, host thread.
    MaterialManager();
    ~MaterialManager() override;

    // This manager makes no resources yet: its resource type comes later.
    CResource* CreateImpl(std::string_view, std::string_view) override { return nullptr; }
    ZEL_CLASS_ID(MaterialManager)
};

}  // namespace Zel
