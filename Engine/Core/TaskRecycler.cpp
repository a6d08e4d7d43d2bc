#include "Core/TaskRecycler.h"

#include "Core/SectionGuard.h"
#include "Core/TaskFactory.h"
#include "Core/itask.h"

namespace Zel {
namespace {
bool HasList(std::int32_t type) {
    return type >= 0 && type < TaskRecycler::kTypeCount;
}
}  // namespace

TaskRecycler::~TaskRecycler() {
    Clear();
}

itask* TaskRecycler::Pop(std::int32_t type) {
    if (HasList(type)) {
        SectionGuard guard(lock_);
        std::list<itask*>& idle = idle_[type];
        if (!idle.empty()) {
            itask* task = idle.front();
            idle.pop_front();
            task->Reset();
            return task;
        }
    }
    return CreateTaskByType(type);
}

void TaskRecycler::Push(itask* task) {
    if (!task)
        return;
    const std::int32_t type = task->GetTypeField();
    if (!HasList(type)) {
        delete task;
        return;
    }
    SectionGuard guard(lock_);
    idle_[type].push_back(task);
}

std::size_t TaskRecycler::GetCount() {
    SectionGuard guard(lock_);
    std::size_t count = 0;
    for (const std::list<itask*>& idle : idle_) count += idle.size();
    return count;
}

void TaskRecycler::Clear() {
    SectionGuard guard(lock_);
    for (std::list<itask*>& idle : idle_) {
        for (itask* task : idle) delete task;
        idle.clear();
    }
}

}  // namespace Zel
