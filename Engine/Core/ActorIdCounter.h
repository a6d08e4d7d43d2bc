// The source of actor ids (Globals::GetActorIdCounter): the first Actor gets 0.
#pragma once

#include <atomic>
#include <cstdint>

namespace Zel {

class ActorIdCounter {
public:
    ActorIdCounter() = default;
    ActorIdCounter(const ActorIdCounter&) = delete;
    ActorIdCounter& operator=(const ActorIdCounter&) = delete;

    // Increments the counter and answers the new value. Atomic: actors are also built by loading
    // tasks on the worker.
    std::int32_t Next() { return value_.fetch_add(1, std::memory_order_relaxed) + 1; }
    // The last id handed out; -1 before the first.
    std::int32_t Current() const { return value_.load(std::memory_order_relaxed); }

private:
    std::atomic<std::int32_t> value_{-1};
};

}  // namespace Zel
