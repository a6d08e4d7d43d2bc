#include "Core/CommandSystem.h"

#include <cstdio>
#include <vector>

#include "Core/ConsoleTextBuffer.h"
#include "Core/DebugConsole.h"
#include "Core/DrawCommand.h"
#include "Core/EngineInitCommand.h"
#include "Core/Globals.h"
#include "Core/LoadCommand.h"
#include "Core/OpenCommandHistory.h"
#include "Core/SetCommand.h"
#include "Core/UpdateCommand.h"
#include "Core/WriteCommandHistory.h"
#include "Platform/Win32/Win32Files.h"

namespace Zel {
namespace {

constexpr const char* kStatusTexts[] = {
    " sucess! \n",
    " command not recognised, type /? for the command list \n",
    " wrong parameters for the command \n",
    " command failed \n",
};

void Print(const std::string& text) {
    if (DebugConsole* console = Globals::Find(&Globals::GetDebugConsole))
        console->Print(text.c_str());
}

void ClearConsole() {
    if (DebugConsole* console = Globals::Find(&Globals::GetDebugConsole))
        console->Clear();
}

// The whole file, or false when it cannot be opened.
// A command script is a few lines of settings; anything far larger (or a device file that never
// ends) is not one.
constexpr std::size_t kMaxCommandFileBytes = 1 << 20;

enum class ReadResult { Read, Missing, TooLarge };

ReadResult ReadWholeFile(const char* fileName, std::string& text) {
    std::FILE* file = fopen_resolved(fileName, "rb");
    if (!file)
        return ReadResult::Missing;
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.append(chunk, n);
        if (text.size() > kMaxCommandFileBytes) {
            std::fclose(file);
            return ReadResult::TooLarge;
        }
    }
    std::fclose(file);
    return ReadResult::Read;
}

}  // namespace

CommandSystem::CommandSystem() = default;
CommandSystem::~CommandSystem() = default;

bool CommandSystem::SplitCommandLine(const std::string& line, std::string& name,
                                     std::string& arguments) {
    std::string text = line;
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (text.empty())
        return false;
    const std::size_t blank = text.find(' ');
    name = text.substr(0, blank);
    arguments = blank == std::string::npos ? std::string() : text.substr(blank + 1);
    return true;
}

bool CommandSystem::IsExcludedFromHistory(const std::string& line) {
    std::string name, arguments;
    if (!SplitCommandLine(line, name, arguments))
        return true;
    return name == "/?" || name == "show" || name == "cls" || name == "open" || name == "write";
}

int CommandSystem::Dispatch(const std::string& line) {
    std::string name, arguments;
    if (!SplitCommandLine(line, name, arguments))
        return COMMAND_UNKNOWN;
    if (name == "/?")
        return ShowHelp();
    if (name == "show" && arguments == "status")
        return ShowStatus();
    if (name == "cls") {
        ClearConsole();
        return COMMAND_OK;
    }
    IDebugCommand* command = FindCommand(name);
    return command ? command->Execute(arguments) : COMMAND_UNKNOWN;
}

bool CommandSystem::ExecuteCommand(const char* line) {
    const int status = Dispatch(line ? line : "");
    Print(kStatusTexts[status >= COMMAND_OK && status <= COMMAND_FAILED ? status : COMMAND_FAILED]);
    Print(">");
    return status == COMMAND_OK;
}

bool CommandSystem::ExecuteCommandFile(const char* fileName) {
    if (!fileName || !*fileName) {
        Print("ExecuteCommandFile: the filename parameter must not be empty\n");
        return false;
    }
    if (fileDepth_ >= kMaxFileDepth) {
        Print(std::string("command files nested too deeply:") + fileName + "\n");
        return false;
    }
    std::string text;
    switch (ReadWholeFile(fileName, text)) {
        case ReadResult::Read:
            break;
        case ReadResult::Missing:
            Print(std::string("command file does not exist:") + fileName + "\n");
            return false;
        case ReadResult::TooLarge:
            Print(std::string("command file is larger than 1 MB:") + fileName + "\n");
            return false;
    }
    ++fileDepth_;
    bool result = true;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string piece = text.substr(start, end - start);
        if (!piece.empty() && piece.back() == '\r')
            piece.pop_back();
        if (piece.size() >= 2) {
            Print(piece + "\n");
            result = ExecuteCommand(piece.c_str()) && result;
        }
        start = end + 1;
    }
    --fileDepth_;
    return result;
}

bool CommandSystem::SaveCommandFile(const char* fileName) {
    if (!fileName || !*fileName) {
        Print("SaveCommandFile: the filename parameter must not be empty\n");
        return false;
    }
    std::FILE* file = fopen_resolved(fileName, "wb");
    if (!file) {
        Print(std::string("command file does not exist:") + fileName + "\n");
        return false;
    }
    if (const ConsoleTextBuffer* buffer = Globals::Find(&Globals::GetConsoleTextBuffer)) {
        for (const std::string& line : buffer->HistoryOldestFirst())
            if (!IsExcludedFromHistory(line))
                std::fprintf(file, "%s\n", line.c_str());
    }
    std::fclose(file);
    return true;
}

int CommandSystem::ShowHelp() {
    for (const auto& [name, command] : commands_) {
        std::vector<std::string> lines;
        command->Describe(lines);
        Print(name + "\n");
        for (const std::string& line : lines) Print(line + "\n");
    }
    return COMMAND_OK;
}

int CommandSystem::ShowStatus() {
    for (const auto& [name, command] : commands_) {
        std::vector<std::string> lines;
        command->ListStatus(lines);
        Print(name + "\n");
        for (const std::string& line : lines) Print(line + "\n");
    }
    return COMMAND_OK;
}

void CommandSystem::RegisterDefaultCommands() {
    std::unique_ptr<IDebugCommand> made[] = {
        std::make_unique<DrawCommand>(),
        std::make_unique<UpdateCommand>(),
        std::make_unique<EngineInitCommand>(),
        std::make_unique<LoadCommand>(),
        std::make_unique<SetCommand>(),
        std::make_unique<OpenCommandHistory>(*this),
        std::make_unique<WriteCommandHistory>(*this),
    };
    for (auto& command : made) {
        command->RegisterVariables();
        const std::string name = command->GetName();
        commands_[name] = std::move(command);
    }
}

IDebugCommand* CommandSystem::FindCommand(const std::string& name) const {
    auto it = commands_.find(name);
    return it == commands_.end() ? nullptr : it->second.get();
}

}  // namespace Zel
