// The debug command "engineinit". Registers no variable: every line answers wrong parameters.
#pragma once

#include "Core/IDebugCommand.h"

namespace Zel {

class EngineInitCommand : public IDebugCommand {
public:
    const char* GetName() const override { return "engineinit"; }
    void RegisterVariables() override;
};

}  // namespace Zel
