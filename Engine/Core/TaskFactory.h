// The task factory: makes the task object of a task type id. The task classes belong to the host
// interface, which installs its factory here; until one is installed no task can be made. Tests
// install factories of their own.
#pragma once

#include <cstdint>

namespace Zel {

class itask;

// Makes a new task of the type in its initial state, or null when the type has no class.
using TaskFactoryFunction = itask* (*)(std::int32_t type);

// Installs the factory (null removes it) and answers the previous one. Host thread, while no
// worker makes tasks.
TaskFactoryFunction SetTaskFactory(TaskFactoryFunction factory);
// A new task of the type from the installed factory; null without a factory or a class.
itask* CreateTaskByType(std::int32_t type);

}  // namespace Zel
