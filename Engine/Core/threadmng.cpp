#include "Core/threadmng.h"

namespace Zel {

threadmng* threadmng::GetInstance() {
    static threadmng instance;
    return &instance;
}

threadmng::threadmng() = default;

threadmng::~threadmng() = default;

locksection* threadmng::GetLock(int index) {
    return index >= 0 && index < kLockCount ? &locks_[index] : nullptr;
}

threadio* threadmng::GetOrCreateThread(int index) {
    return GetThread(index);
}

threadio* threadmng::GetThread(int index) {
    return index >= 0 && index < kWorkerSlots ? workers_[index] : nullptr;
}

int threadmng::BeginDeviceAccess() {
    return 1;
}

int threadmng::EndDeviceAccess() {
    return 1;
}

std::uint32_t threadmng::NextTaskId(std::uint32_t last) {
    return last >= 0xFFFFFFFEu ? 1u : last + 1u;
}

std::uint32_t threadmng::NewTaskId() {
    std::uint32_t last = lastTaskId_.load(std::memory_order_relaxed);
    std::uint32_t next;
    do {
        next = NextTaskId(last);
    } while (!lastTaskId_.compare_exchange_weak(last, next, std::memory_order_relaxed));
    return next;
}

std::int32_t threadmng::IncrementCounter(int index) {
    if (index < 0 || index >= kCounterCount)
        return 0;
    return counters_[index].fetch_add(1, std::memory_order_acq_rel) + 1;
}

std::int32_t threadmng::DecrementCounter(int index) {
    if (index < 0 || index >= kCounterCount)
        return 0;
    return counters_[index].fetch_sub(1, std::memory_order_acq_rel) - 1;
}

}  // namespace Zel
