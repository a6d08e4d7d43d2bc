// The process-wide thread manager: eight lock sections (lock 3 is the main lock, taken around each
// worker step and by host calls that touch shared scene state; lock 6 guards the device's effect
// objects), the worker slots, 64 shared counters and the task ids. Built on first use of
// GetInstance, destroyed at process exit; every operation may be called from any thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "Core/locksection.h"

namespace Zel {

class threadio;

class threadmng {
public:
    static constexpr int kLockCount = 8;
    static constexpr int kWorkerSlots = 3;
    static constexpr int kCounterCount = 64;
    static constexpr int kMainLock = 3;
    static constexpr int kEffectLock = 6;

    static threadmng* GetInstance();

    virtual ~threadmng();
    threadmng(const threadmng&) = delete;
    threadmng& operator=(const threadmng&) = delete;

    // Lock i for i from 0 to 7, else null.
    virtual locksection* GetLock(int index);
    // Worker i, made on first use for slots 0 and 1. Workers are not built yet: null.
    virtual threadio* GetOrCreateThread(int index);
    // Worker i when it exists (i below 3); never creates. Null while no worker is built.
    virtual threadio* GetThread(int index);
    // Called around Direct3D resource creation and locking; both answer 1.
    virtual int BeginDeviceAccess();
    virtual int EndDeviceAccess();
    // The next task id: neither 0 nor 0xFFFFFFFF is ever given.
    virtual std::uint32_t NewTaskId();

    // Atomic increment/decrement of shared counter i (0-63), answering the new value; 0 for an
    // index out of range.
    std::int32_t IncrementCounter(int index);
    std::int32_t DecrementCounter(int index);

    // Set by a numbered host command.
    bool GetLockFree() const { return lockFree_.load(std::memory_order_relaxed); }
    void SetLockFree(bool on) { lockFree_.store(on, std::memory_order_relaxed); }

    // The id that follows `last`: last + 1, except that after 0xFFFFFFFE comes 1.
    static std::uint32_t NextTaskId(std::uint32_t last);

private:
    threadmng();

    locksection locks_[kLockCount];
    threadio* workers_[kWorkerSlots] = {};
    std::atomic<std::int32_t> counters_[kCounterCount] = {};
    std::atomic<std::uint32_t> lastTaskId_{0};
    std::atomic<bool> lockFree_{false};
};

}  // namespace Zel
