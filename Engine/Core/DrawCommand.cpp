#include "Core/DrawCommand.h"

namespace Zel {

void DrawCommand::RegisterVariables() {
    AddSwitchVariable("actor", 15);
    AddSwitchVariable("spe", 13);
    AddSwitchVariable("particle", 12);
    AddSwitchVariable("model", 18);
    AddSwitchVariable("level", 9);
    AddSwitchVariable("index", 11);
    AddSwitchVariable("trans", 16);
    AddSwitchVariable("soild", 17);
    AddSwitchVariable("shadow", 19);
    AddSwitchVariable("segment", 22);
    AddSwitchVariable("cloth", 10);
    AddSwitchVariable("defaulttexture", 21);
    AddSwitchVariable("defaultmaterial", 20);
}

}  // namespace Zel
