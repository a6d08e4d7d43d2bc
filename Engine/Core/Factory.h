// A CObjectPool of pooled objects (T derives from RecycledObject) behind a lock section, one per
// pooled scene-object type (held by Globals). Acquire and Release may be called from any thread.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Core/CObjectPool.h"
#include "Core/locksection.h"
#include "Platform/Win32/Win32Sync.h"

namespace Zel {

template <class T>
class Factory {
public:
    Factory() = default;
    // Destroys the lock section, then the pool, which deletes every object.
    virtual ~Factory() = default;
    Factory(const Factory&) = delete;
    Factory& operator=(const Factory&) = delete;

    // An object newly constructed or as its Reset left it; null only when the pool cannot grow.
    // Records the calling thread as the owner.
    virtual T* Acquire() {
        lock_.Enter();
        ownerThreadId_ = GetCurrentThreadId();
        T* object = pool_.Acquire();
        lock_.Leave();
        return object;
    }

    // Returns an object to the pool. Null, or an object that is not in use (a second release),
    // is ignored without touching the object. The object's Reset runs outside the lock; while it
    // runs the object is claimed, so a racing second release of it is ignored too. Releasing an
    // object that another thread has acquired since is a programmer error.
    virtual void Release(T* object) {
        if (!object)
            return;
        lock_.Enter();
        const bool claimed =
            pool_.IsInUse(object) &&
            std::find(releasing_.begin(), releasing_.end(), object) == releasing_.end();
        if (claimed)
            releasing_.push_back(object);
        lock_.Leave();
        if (!claimed)
            return;
        object->Reset();
        lock_.Enter();
        releasing_.erase(std::find(releasing_.begin(), releasing_.end(), object));
        pool_.Release(object);
        lock_.Leave();
    }

    // For the host's factory proxies and reports: the pool's other operations are used with the
    // lock held (GetLock().Enter() ... Leave()).
    CObjectPool<T>& GetPool() { return pool_; }
    locksection& GetLock() { return lock_; }
    // The thread that last called Acquire; 0 before the first.
    std::uint32_t GetOwnerThreadId() {
        lock_.Enter();
        std::uint32_t id = ownerThreadId_;
        lock_.Leave();
        return id;
    }

private:
    CObjectPool<T> pool_;
    // Objects between the two halves of Release (their Reset running); under the lock.
    std::vector<T*> releasing_;
    std::uint32_t ownerThreadId_ = 0;
    locksection lock_;
};

}  // namespace Zel
