// The manager of action resources. It is registered under the type name "ActionResource" with the
// group registry of Globals from its construction to its destruction.
#pragma once

#include "Core/CResourceManager.h"

namespace Zel {

class ActionManager : public CResourceManager {
public:
    // Built by Globals::Init, host thread.
    ActionManager();
    ~ActionManager() override;

    // This manager makes no resources yet: its resource type comes later.
    CResource* CreateImpl(std::string_view, std::string_view) override { return nullptr; }
    ZEL_CLASS_ID(ActionManager)
};

}  // namespace Zel
