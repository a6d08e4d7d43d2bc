// The debug command "open": "open command <file>" (or "open <file>") runs the file as a command
// script. The variable "command" only documents the use; any variable runs the file.
#pragma once

#include "Core/IDebugCommand.h"

namespace Zel {

class CommandSystem;

class OpenCommandHistory : public IDebugCommand {
public:
    // The command system that runs the file; not owned, it owns the command.
    explicit OpenCommandHistory(CommandSystem& system) : system_(system) {}
    const char* GetName() const override { return "open"; }
    void RegisterVariables() override;
    // COMMAND_OK when the file ran, COMMAND_FAILED otherwise.
    int Apply(const CommandArgs& args) override;

private:
    CommandSystem& system_;
};

}  // namespace Zel
