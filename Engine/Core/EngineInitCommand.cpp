#include "Core/EngineInitCommand.h"

namespace Zel {

void EngineInitCommand::RegisterVariables() {
    // Nothing: the command has no variable.
}

}  // namespace Zel
