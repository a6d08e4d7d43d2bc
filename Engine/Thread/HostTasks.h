// The factory of the host interface's task classes.
//
// Threads: steps on loading thread 0 under the main lock; OnMainThread and Advance on the host's
// thread inside the pump (itask.h).
#pragma once

#include <cstdint>

#include "Core/itask.h"

namespace Zel {

// The factory the host interface installs: a new task of the class of the type in its initial
// state, for types 0-14, 16, 17 and 19-21. Any other type (15 has no class; 18, the material
// library load, is built only by its parents) is reported, shown in a message box, and answers
// null. The caller owns the task (the worker's recycler keeps it).
itask* CreateHostTask(std::int32_t type);
// Installs CreateHostTask as the task factory. Library load; calling it again changes nothing.
void InstallHostTaskFactory();

}  // namespace Zel
