#include "Core/WriteCommandHistory.h"

#include "Core/CommandSystem.h"

namespace Zel {

void WriteCommandHistory::RegisterVariables() {
    AddSwitchVariable("command", 83);
}

int WriteCommandHistory::Apply(const CommandArgs& args) {
    return system_.SaveCommandFile(args.valueWord.c_str()) ? COMMAND_OK : COMMAND_FAILED;
}

}  // namespace Zel
