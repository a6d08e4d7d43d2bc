#include "Core/SetCommand.h"

namespace Zel {

void SetCommand::RegisterVariables() {
    AddSwitchVariable("cullspe", 71);
    AddSwitchVariable("levelculltriangle", 72);
    AddSwitchVariable("cameracullentity", 73);
    AddSwitchVariable("useskin", 74);
    AddSwitchVariable("submitgpu", 75);
    AddSwitchVariable("drawcall", 76);
    AddSwitchVariable("setrenderstate", 77);
    AddSwitchVariable("ignoretransport", 78);
    AddSwitchVariable("globalphyx", 79);
    AddSwitchVariable("spliceactortex", 80);
    AddSwitchVariable("noactor", 51);
    AddSwitchVariable("noaction", 49);
    AddSwitchVariable("nomodel", 52);
    AddSwitchVariable("nolevel", 50);
    AddSwitchVariable("nolevelmat", 57);
    AddSwitchVariable("nolevelmesh", 58);
    AddSwitchVariable("nochr", 53);
    AddSwitchVariable("nodml", 54);
    AddSwitchVariable("nospe", 55);
    AddSwitchVariable("noactoraction", 56);
    AddSwitchVariable("binfileinpak", 81);
    AddSwitchVariable("viewmsgbox", 82);
    AddSwitchVariable("userendereff", 85);
    AddTextVariable("nochrpartial", 1);
    AddTextVariable("nospepartial", 0);
}

}  // namespace Zel
