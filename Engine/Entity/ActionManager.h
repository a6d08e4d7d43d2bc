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
    ZEL_CLASS_ID(ActionManager)
};

}  // namespace Zel
