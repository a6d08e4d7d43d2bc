// A lock over one critical section. Re-entrant: the thread that holds it may enter again, and
// each Enter needs its Leave. Any thread.
#pragma once

#include <atomic>

#include "Core/ilock.h"
#include "Platform/Win32/Win32Sync.h"

namespace Zel {

class locksection : public ilock {
public:
    locksection();
    ~locksection() override;
    locksection(const locksection&) = delete;
    locksection& operator=(const locksection&) = delete;

    void Enter() override;
    void Leave() override;
    // The same two operations under the names the resource and device code use.
    void Lock() { Enter(); }
    void Unlock() { Leave(); }

    // Whether the calling thread holds the lock. Callers that would wait for another thread
    // which needs this lock ask first, so that they refuse instead of waiting for ever.
    bool IsHeldByCurrentThread() const;

    // Gives up every hold the calling thread has on the lock and answers how many there were
    // (0, with nothing changed, when the caller does not hold it); ReenterAll takes that many back.
    // For a holder that must wait for another thread which needs the lock.
    int LeaveAll();
    void ReenterAll(int holds);

private:
    CRITICAL_SECTION section_;
    // The holding thread's id (0 when free) and its nesting depth; the depth is touched only by
    // the holder, the id is read by any thread that asks whether it is the holder.
    std::atomic<DWORD> owner_{0};
    int depth_ = 0;
};

}  // namespace Zel
