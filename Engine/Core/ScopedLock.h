// Holds one of the thread manager's eight locks for a scope (lock 3 is the main lock). Each lock
// index keeps a nesting count: how many guards of that lock the holding thread has open.
#pragma once

#include <cstdint>

namespace Zel {

class locksection;

class ScopedLock {
public:
    // Enters threadmng lock i; an index without a lock (outside 0-7) gives a guard that holds
    // nothing.
    explicit ScopedLock(int index);
    ~ScopedLock();
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

    bool HoldsLock() const { return lock_ != nullptr; }

    // Open guards of lock i (changed only by the thread holding the lock); 0 for an index
    // without a lock.
    static std::int32_t GetNestingCount(int index);

private:
    locksection* lock_;
    int index_;
};

}  // namespace Zel
