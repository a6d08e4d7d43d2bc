// The object pool: makes objects of one type in batches, hands out the most recently returned one
// first, grows by a factor when empty up to an optional cap, and tells listeners of every
// hand-out, return and destruction. The pool owns every object it made, free or in use.
//
// Threads: a bare pool takes no lock; its owner serialises the calls (Factory does, with its lock
// section). Listeners receive the id of the thread performing the operation.
#pragma once

#include <algorithm>
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "Core/IInsList_Impl.h"
#include "Platform/Win32/Win32Sync.h"

namespace Zel {

// A listener slot: (object, calling thread id). The object is passed untyped so that the host's
// proxies can forward their own listeners to any pool.
using PoolListener = void (*)(void* object, std::uint32_t threadId);

enum PoolListenerKind : int {
    POOL_LISTENER_ACQUIRE = 0,  // after each hand-out
    POOL_LISTENER_RELEASE = 1,  // on each return
    POOL_LISTENER_DESTROY = 2,  // before each object is deleted by Clear or the destructor
    POOL_LISTENER_KIND_COUNT = 3,
};

template <class T>
class CObjectPool {
public:
    // Makes `initial` objects at once. A cap of 0 or below means no bound.
    explicit CObjectPool(std::int32_t initial = 4, float growthFactor = 1.5f, std::int32_t cap = -1)
        : growthFactor_(growthFactor), cap_(cap) {
        Reserve(initial);
    }
    // Deletes the snapshots, then every object (in use first) after its destroy listeners.
    virtual ~CObjectPool() {
        inUseSnapshot_.reset();
        freeSnapshot_.reset();
        Clear();
    }
    CObjectPool(const CObjectPool&) = delete;
    CObjectPool& operator=(const CObjectPool&) = delete;

    // The object at the back of the free list, growing first when none is free; null when the
    // pool is at its cap.
    T* Acquire() {
        if (free_.empty() && !Grow())
            return nullptr;
        T* object = free_.back();
        free_.pop_back();
        ++inUseCount_;
        inUse_.push_back(object);
        Notify(POOL_LISTENER_ACQUIRE, object);
        return object;
    }

    // Returns an object to the back of the free list; an object that is not in use here (never
    // acquired, already released, another pool's) is ignored. The release listeners run while
    // the object is still linked in the in-use list (IsInUse answers true for it), with the
    // in-use count already lowered; it is unlinked after them.
    void Release(T* object) {
        auto it = std::find(inUse_.begin(), inUse_.end(), object);
        if (it == inUse_.end())
            return;
        --inUseCount_;
        free_.push_back(object);
        Notify(POOL_LISTENER_RELEASE, object);
        inUse_.erase(it);
    }

    // New capacity: capacity x factor truncated, at least capacity + 1, at most the cap. False
    // (nothing made) when the capacity has reached the cap.
    bool Grow() {
        std::int32_t target =
            static_cast<std::int32_t>(growthFactor_ * static_cast<float>(capacity_));
        if (target <= capacity_)
            target = capacity_ + 1;
        if (cap_ > 0) {
            if (capacity_ >= cap_)
                return false;
            target = std::min(target, cap_);
        }
        Reserve(target - capacity_);
        return true;
    }

    // Makes n more objects (default-constructed) at the back of the free list, whatever the cap.
    void Reserve(std::int32_t n) {
        for (std::int32_t i = 0; i < n; ++i) {
            free_.push_back(new T);
            ++capacity_;
        }
    }

    // Deletes every object, those in use first, each after the destroy listeners; the pool is
    // then empty with capacity 0 and grows again on the next acquire. Snapshots already handed
    // out stay valid as lists (their pointers are stale).
    void Clear() {
        DestroyAll(inUse_);
        DestroyAll(free_);
        capacity_ = 0;
        inUseCount_ = 0;
    }

    // Puts the function in the first empty slot of the list, else in a new last slot; answers the
    // slot index, which stays valid until RemoveListener.
    std::uint32_t AddListener(PoolListenerKind kind, PoolListener listener) {
        auto& slots = listeners_[kind];
        auto empty = std::find(slots.begin(), slots.end(), nullptr);
        if (empty != slots.end()) {
            *empty = listener;
            return static_cast<std::uint32_t>(empty - slots.begin());
        }
        slots.push_back(listener);
        return static_cast<std::uint32_t>(slots.size() - 1);
    }
    // Empties the slot (other indices stay valid); an index out of range is ignored.
    void RemoveListener(PoolListenerKind kind, std::uint32_t index) {
        auto& slots = listeners_[kind];
        if (index < slots.size())
            slots[index] = nullptr;
    }

    bool IsInUse(const T* object) const {
        return std::find(inUse_.begin(), inUse_.end(), object) != inUse_.end();
    }

    // Snapshots of the lists in list order; the pool owns them and replaces each on the next call
    // of the same kind. They do not follow later changes.
    IInsList_Impl* GetInUseList() { return Snapshot(inUse_, inUseSnapshot_); }
    IInsList_Impl* GetFreeList() { return Snapshot(free_, freeSnapshot_); }

    std::int32_t GetCapacity() const { return capacity_; }
    std::int32_t GetInUseCount() const { return inUseCount_; }
    std::int32_t GetFreeCount() const { return static_cast<std::int32_t>(free_.size()); }
    std::int32_t GetCap() const { return cap_; }
    float GetGrowthFactor() const { return growthFactor_; }
    const std::list<T*>& GetInUseObjects() const { return inUse_; }

private:
    void Notify(PoolListenerKind kind, T* object) {
        const std::uint32_t threadId = GetCurrentThreadId();
        for (PoolListener listener : listeners_[kind])
            if (listener)
                listener(object, threadId);
    }

    void DestroyAll(std::list<T*>& objects) {
        for (T* object : objects) {
            Notify(POOL_LISTENER_DESTROY, object);
            delete object;
        }
        objects.clear();
    }

    static IInsList_Impl* Snapshot(const std::list<T*>& objects,
                                   std::unique_ptr<IInsList_Impl>& slot) {
        slot = std::make_unique<IInsList_Impl>();
        for (T* object : objects) slot->Add(object);
        return slot.get();
    }

    std::list<T*> free_;
    std::list<T*> inUse_;
    std::int32_t capacity_ = 0;  // objects made so far, free plus in use
    std::int32_t inUseCount_ = 0;
    float growthFactor_;
    std::int32_t cap_;
    std::vector<PoolListener> listeners_[POOL_LISTENER_KIND_COUNT];
    std::unique_ptr<IInsList_Impl> inUseSnapshot_;
    std::unique_ptr<IInsList_Impl> freeSnapshot_;
};

// The number of objects in the pool's in-use list (the engine monitor counts live actors so).
// The caller holds the pool's lock when it has one.
template <class T>
std::int32_t CountListNodes(const CObjectPool<T>& pool) {
    return static_cast<std::int32_t>(pool.GetInUseObjects().size());
}

}  // namespace Zel
