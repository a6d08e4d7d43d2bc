// A lock over one critical section. Re-entrant: the thread that holds it may enter again, and
// each Enter needs its Leave. Any thread.
#pragma once

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

private:
    CRITICAL_SECTION section_;
};

}  // namespace Zel
