// The debug command "set". Switches culling, submission, creation and the blocked-directory lists.
#pragma once

#include "Core/IDebugCommand.h"

namespace Zel {

class SetCommand : public IDebugCommand {
public:
    const char* GetName() const override { return "set"; }
    void RegisterVariables() override;
};

}  // namespace Zel
