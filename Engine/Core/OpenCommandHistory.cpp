#include "Core/OpenCommandHistory.h"

#include "Core/CommandSystem.h"

namespace Zel {

void OpenCommandHistory::RegisterVariables() {
    AddSwitchVariable("command", 83);
}

int OpenCommandHistory::Apply(const CommandArgs& args) {
    return system_.ExecuteCommandFile(args.valueWord.c_str()) ? COMMAND_OK : COMMAND_FAILED;
}

}  // namespace Zel
