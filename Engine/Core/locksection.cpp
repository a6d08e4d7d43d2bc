#include "Core/locksection.h"

namespace Zel {
namespace {
// The id costs a system call; each thread asks once.
DWORD CurrentThreadId() {
    thread_local const DWORD id = GetCurrentThreadId();
    return id;
}
}  // namespace

locksection::locksection() {
    InitializeCriticalSection(&section_);
}

locksection::~locksection() {
    DeleteCriticalSection(&section_);
}

void locksection::Enter() {
    EnterCriticalSection(&section_);
    if (depth_++ == 0)
        owner_.store(CurrentThreadId(), std::memory_order_relaxed);
}

void locksection::Leave() {
    if (--depth_ == 0)
        owner_.store(0, std::memory_order_relaxed);
    LeaveCriticalSection(&section_);
}

bool locksection::IsHeldByCurrentThread() const {
    // Only the calling thread itself can have stored its own id, so a relaxed read is exact.
    return owner_.load(std::memory_order_relaxed) == CurrentThreadId();
}

int locksection::LeaveAll() {
    if (!IsHeldByCurrentThread())
        return 0;
    const int holds = depth_;
    for (int i = 0; i < holds; ++i) Leave();
    return holds;
}

void locksection::ReenterAll(int holds) {
    for (int i = 0; i < holds; ++i) Enter();
}

}  // namespace Zel
