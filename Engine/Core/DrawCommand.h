// The debug command "draw". Switches what is drawn.
#pragma once

#include "Core/IDebugCommand.h"

namespace Zel {

class DrawCommand : public IDebugCommand {
public:
    const char* GetName() const override { return "draw"; }
    void RegisterVariables() override;
};

}  // namespace Zel
