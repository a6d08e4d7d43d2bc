#include "Core/TaskFactory.h"

#include <atomic>

namespace Zel {
namespace {
std::atomic<TaskFactoryFunction> g_factory{nullptr};
}  // namespace

TaskFactoryFunction SetTaskFactory(TaskFactoryFunction factory) {
    return g_factory.exchange(factory);
}

itask* CreateTaskByType(std::int32_t type) {
    TaskFactoryFunction factory = g_factory.load();
    return factory ? factory(type) : nullptr;
}

}  // namespace Zel
