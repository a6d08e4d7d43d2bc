// The debug command "write": "write command <file>" saves the console's input history, oldest
// line first, without the lines that only make sense at the console.
#pragma once

#include "Core/IDebugCommand.h"

namespace Zel {

class CommandSystem;

class WriteCommandHistory : public IDebugCommand {
public:
    // The command system that writes the file; not owned, it owns the command.
    explicit WriteCommandHistory(CommandSystem& system) : system_(system) {}
    const char* GetName() const override { return "write"; }
    void RegisterVariables() override;
    // COMMAND_OK when the file was written, COMMAND_FAILED otherwise.
    int Apply(const CommandArgs& args) override;

private:
    CommandSystem& system_;
};

}  // namespace Zel
