// The debug command "load". Switches the substitutions made while loading.
#pragma once

#include "Core/IDebugCommand.h"

namespace Zel {

class LoadCommand : public IDebugCommand {
public:
    const char* GetName() const override { return "load"; }
    void RegisterVariables() override;
};

}  // namespace Zel
