#include "Core/UpdateCommand.h"

namespace Zel {

void UpdateCommand::RegisterVariables() {
    AddSwitchVariable("scene", 24);
    AddSwitchVariable("model", 25);
    AddSwitchVariable("actor", 26);
    AddSwitchVariable("action", 27);
    AddSwitchVariable("spe", 28);
    AddSwitchVariable("particle", 31);
    AddSwitchVariable("animationtrack", 29);
    AddSwitchVariable("bonematrix", 30);
}

}  // namespace Zel
