// A CObjectPool of pooled objects (T derives from RecycledObject) behind a lock section, one per
// pooled scene-object type (held by Globals). Acquire and Release may be called from any thread.
#pragma once

#include <cstdint>

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
    // is ignored without touching the object. The object's Reset runs outside the lock, after it
    // has left the in-use list; releasing an object that another thread has acquired since is a
    // programmer error.
    virtual void Release(T* object) {
        if (!object)
            return;
        lock_.Enter();
        const bool wasInUse = pool_.TakeFromInUse(object);
        lock_.Leave();
        if (!wasInUse)
            return;
        object->Reset();
        lock_.Enter();
        pool_.ReturnToFree(object);
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
    std::uint32_t ownerThreadId_ = 0;
    locksection lock_;
};

}  // namespace Zel
