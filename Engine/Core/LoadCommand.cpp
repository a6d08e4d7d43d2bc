#include "Core/LoadCommand.h"

namespace Zel {

void LoadCommand::RegisterVariables() {
    AddSwitchVariable("defalutactor", 32);
    AddSwitchVariable("donotloadactorcloth", 33);
    AddSwitchVariable("defalutchr", 34);
    AddSwitchVariable("defalutdml", 35);
    AddSwitchVariable("defalutlevel", 36);
    AddSwitchVariable("defalutaction", 37);
    AddSwitchVariable("donotloadchraction", 38);
    AddSwitchVariable("defaluttex", 39);
    AddSwitchVariable("defalutmat", 40);
    AddSwitchVariable("defalutspe", 41);
    AddSwitchVariable("defalutparticle", 42);
    AddSwitchVariable("defaluteffchr", 43);
    AddSwitchVariable("defalutefftex", 44);
    AddSwitchVariable("defalutcteatetex", 45);
    AddSwitchVariable("multithread", 46);
    AddSwitchVariable("emptylevel", 47);
}

}  // namespace Zel
