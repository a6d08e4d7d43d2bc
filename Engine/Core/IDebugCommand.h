// A debug command of the command system ("draw", "update", "load", "set", "engineinit", "open",
// "write"): it maps variable names to global switches and sets one per line. Host thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Core/CommandArgs.h"

namespace Zel {

// Status codes of a command line.
enum CommandStatus : int {
    COMMAND_OK = 0,
    COMMAND_UNKNOWN = 1,
    COMMAND_BAD_PARAMETERS = 2,
    COMMAND_FAILED = 3,
};

class IDebugCommand {
public:
    IDebugCommand() = default;
    virtual ~IDebugCommand() = default;
    IDebugCommand(const IDebugCommand&) = delete;
    IDebugCommand& operator=(const IDebugCommand&) = delete;

    // Parses the argument text and applies it.
    virtual int Execute(const std::string& argumentText);
    // One help line per variable (with the switch's description), in name order: on/off, float,
    // then text variables.
    virtual void Describe(std::vector<std::string>& lines) const;
    // One status line per variable with its current value, in the same order.
    virtual void ListStatus(std::vector<std::string>& lines) const;
    virtual const char* GetName() const = 0;
    virtual void RegisterVariables() = 0;
    // Sets the variable's switch (an on/off switch to 1 or 0, a float switch, or a blocked list
    // to the value text); COMMAND_BAD_PARAMETERS for a variable the command does not know.
    virtual int Apply(const CommandArgs& args);

protected:
    // A second registration of a name replaces its index.
    void AddSwitchVariable(const char* name, std::uint32_t switchIndex);
    void AddTextVariable(const char* name, std::uint32_t listIndex);

private:
    std::map<std::string, std::uint32_t> switchVariables_;
    std::map<std::string, std::uint32_t> floatVariables_;
    std::map<std::string, std::uint32_t> textVariables_;
};

}  // namespace Zel
