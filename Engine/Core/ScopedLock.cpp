#include "Core/ScopedLock.h"

#include <atomic>

#include "Core/locksection.h"
#include "Core/threadmng.h"

namespace Zel {
namespace {
// Written only under the lock it counts; atomic so that a reader outside the lock sees a whole
// value.
std::atomic<std::int32_t> g_nesting[threadmng::kLockCount];
}  // namespace

ScopedLock::ScopedLock(int index) : lock_(threadmng::GetInstance()->GetLock(index)), index_(index) {
    if (!lock_)
        return;
    lock_->Enter();
    g_nesting[index_].fetch_add(1, std::memory_order_relaxed);
}

ScopedLock::~ScopedLock() {
    if (!lock_)
        return;
    g_nesting[index_].fetch_sub(1, std::memory_order_relaxed);
    lock_->Leave();
}

std::int32_t ScopedLock::GetNestingCount(int index) {
    if (index < 0 || index >= threadmng::kLockCount)
        return 0;
    return g_nesting[index].load(std::memory_order_relaxed);
}

}  // namespace Zel
