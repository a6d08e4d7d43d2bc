// The debug command "update". Switches what is updated each frame.
#pragma once

#include "Core/IDebugCommand.h"

namespace Zel {

class UpdateCommand : public IDebugCommand {
public:
    const char* GetName() const override { return "update"; }
    void RegisterVariables() override;
};

}  // namespace Zel
