// The pool of bone states shared by the skinned models: a free list under its own lock section.
// Globals builds it empty. States handed out stay owned by the pool: their users give them back
// with Release before the pool goes, and the pool deletes every state on its free list.
//
// Threads: Acquire and Release from any thread.
#pragma once

#include <cstdint>
#include <deque>

#include "Core/locksection.h"

namespace Zel {

class BoneState;

class BoneStatePool {
public:
    BoneStatePool() = default;
    // Deletes every state on the free list.
    virtual ~BoneStatePool();
    BoneStatePool(const BoneStatePool&) = delete;
    BoneStatePool& operator=(const BoneStatePool&) = delete;

    // A state from the free list (as its Reset left it), or a new one; never null.
    BoneState* Acquire();
    // Resets the state and puts it on the free list; null is ignored.
    void Release(BoneState* state);

    // How many states the pool has made, and how many are free.
    std::uint32_t GetCreatedCount();
    std::uint32_t GetFreeCount();

    locksection& GetLock() { return lock_; }

private:
    std::deque<BoneState*> free_;
    std::uint32_t created_ = 0;
    locksection lock_;
};

}  // namespace Zel
