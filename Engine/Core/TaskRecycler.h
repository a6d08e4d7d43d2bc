// Idle task objects of one worker, one list per task type id 0-21, kept for reuse instead of
// being freed. Owns the tasks it holds. Every operation takes the recycler's own lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>

#include "Core/locksection.h"

namespace Zel {

class itask;

class TaskRecycler {
public:
    static constexpr std::int32_t kTypeCount = 22;

    TaskRecycler() = default;
    // Deletes every idle task.
    ~TaskRecycler();
    TaskRecycler(const TaskRecycler&) = delete;
    TaskRecycler& operator=(const TaskRecycler&) = delete;

    // The first idle task of the type, Reset; else a new one from the task factory; null when
    // neither gives one (a type outside 0-21 always goes to the factory, which refuses it).
    itask* Pop(std::int32_t type);
    // Takes the task back, filed under its type field; a task whose type field is outside 0-21
    // has no list and is deleted.
    void Push(itask* task);
    // Idle tasks over all lists.
    std::size_t GetCount();
    // Deletes every idle task.
    void Clear();

private:
    std::list<itask*> idle_[kTypeCount];
    locksection lock_;
};

}  // namespace Zel
