// The command system (Globals::GetCommandSystem): the table of debug commands, the line
// dispatcher, the command-script runner behind "EngineConfig.txt" and the "open" command, and the
// writer of the console's input history. Each line's status and a prompt go to the debug console
// (dropped while it is hidden). Host thread.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "Core/ICommandSystem.h"

namespace Zel {

class IDebugCommand;

class CommandSystem final : public ICommandSystem {
public:
    // Command files opened from command files nest at most this deep; a deeper one fails.
    static constexpr int kMaxFileDepth = 8;

    // An empty table; GlobalConfigManager::SetDefaults fills it.
    CommandSystem();
    ~CommandSystem();
    CommandSystem(const CommandSystem&) = delete;
    CommandSystem& operator=(const CommandSystem&) = delete;

    // The line is lower-cased whole; "/?" lists the commands, "show status" their values, "cls"
    // clears the console, anything else goes to the command of its first word. Prints the status
    // text and the prompt ">".
    bool ExecuteCommand(const char* line) override;
    // Runs every line of at least two characters ("\r" at line ends removed, a last line without
    // a line feed included) and answers whether the file could be read and every line succeeded.
    bool ExecuteCommandFile(const char* fileName) override;
    // Writes the console's input history, oldest line first, skipping empty slots and lines whose
    // command is "/?", "show", "cls", "open" or "write".
    bool SaveCommandFile(const char* fileName);
    int ShowHelp();
    int ShowStatus();
    // Builds the seven commands afresh (a name already present is replaced).
    void RegisterDefaultCommands();

    IDebugCommand* FindCommand(const std::string& name) const;

    // Lower-cases the line, drops one final line feed and splits at the first blank; false when
    // nothing remains.
    static bool SplitCommandLine(const std::string& line, std::string& name,
                                 std::string& arguments);
    static bool IsExcludedFromHistory(const std::string& line);

private:
    int Dispatch(const std::string& line);

    std::map<std::string, std::unique_ptr<IDebugCommand>> commands_;
    int fileDepth_ = 0;
};

}  // namespace Zel
