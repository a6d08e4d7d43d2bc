// The process-wide thread manager: eight lock sections (lock 3 is the main lock, taken around each
// worker step and by host calls that touch shared scene state; lock 6 guards the device's effect
// objects), three worker slots (slot 0 is the worker, slot 1 may be made, slot 2 never is), 64
// shared counters, the task ids and the worker settings of "multithread.ini". Built on first use
// of GetInstance, destroyed at process exit (with the workers that exist). The locks, counters
// and ids may be used from any thread; the worker slots from the host's thread.
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
    // Stops every worker that exists, when the manager was ever made (nothing otherwise). The
    // library's unload calls it while the globals the workers' tasks reach may still exist:
    // the manager's own destructor runs later, among the process's static destructors.
    static void StopWorkers();

    virtual ~threadmng();
    threadmng(const threadmng&) = delete;
    threadmng& operator=(const threadmng&) = delete;

    // Lock i for i from 0 to 7, else null.
    virtual locksection* GetLock(int index);
    // Worker i: the existing one, else for slots 0 and 1 a new worker (thread driver, not
    // started); null for any other index.
    virtual threadio* GetOrCreateThread(int index);
    // Worker i when it exists (i below 3); never creates.
    virtual threadio* GetThread(int index);
    // Called around Direct3D resource creation and locking; both answer 1.
    virtual int BeginDeviceAccess();
    virtual int EndDeviceAccess();
    // The first answer other than 9 of the existing workers' GetTaskState (id), asked in slot
    // order (each pumps once); 9 when none knows the id.
    virtual std::int32_t GetTaskState(std::uint32_t id);
    // The next task id: neither 0 nor 0xFFFFFFFF is ever given.
    virtual std::uint32_t NewTaskId();

    // The worker's CancelTask (id) of that slot; -1 when the worker does not exist.
    static std::int32_t CancelTask(int threadIndex, std::uint32_t id);

    // Atomic increment/decrement of shared counter i (0-63), answering the new value; 0 for an
    // index out of range.
    std::int32_t IncrementCounter(int index);
    std::int32_t DecrementCounter(int index);

    // Set by a numbered host command.
    bool GetLockFree() const { return lockFree_.load(std::memory_order_relaxed); }
    void SetLockFree(bool on) { lockFree_.store(on, std::memory_order_relaxed); }

    // The id that follows `last`: last + 1, except that after 0xFFFFFFFE comes 1.
    static std::uint32_t NextTaskId(std::uint32_t last);
    // Sets the last id given, so that NewTaskId continues after it (tests take the counter to
    // its wrap this way).
    void SetLastTaskId(std::uint32_t last) { lastTaskId_.store(last, std::memory_order_relaxed); }

    // How the host's wait for the worker paces itself.
    struct Settings {
        // Minimum milliseconds a wait pumps the worker.
        std::uint32_t time = 3;
        // A wait ends once the active list holds at most this many tasks (and time has passed).
        std::int32_t maxnum = 800;
        // Milliseconds to sleep between two pumps of a wait; negative: no sleep.
        std::int32_t sleep = -1;
    };
    // Reads "time=%u, maxnum=%d, sleep=%d" from the text file: the values read, in order,
    // replace the defaults, the rest keep them; a missing file keeps them all.
    static Settings ReadSettings(const char* path);
    // Those read from "multithread.ini" when the manager was built.
    const Settings& GetSettings() const { return settings_; }

    // Whether the calling thread holds the main lock (lock 3). Host calls that wait for the
    // worker refuse to wait while it does: the worker takes that lock for every step.
    bool CallerHoldsMainLock();

private:
    threadmng();

    locksection locks_[kLockCount];
    threadio* workers_[kWorkerSlots] = {};
    std::atomic<std::int32_t> counters_[kCounterCount] = {};
    std::atomic<std::uint32_t> lastTaskId_{0};
    std::atomic<bool> lockFree_{false};
    Settings settings_;
};

// Queues the release of an interface wrapper on worker 0: a task of type 13 whose parameter
// record is `wrapper`, the address of the caller's pointer to the wrapper. That pointer must
// stay where it is until the task has run: the task reads the wrapper through it and clears it.
// Answers the task id; 0xFFFFFFFF (never an id) when worker 0 does not exist, 0 when no task can
// be made. Host thread.
std::uint32_t QueueReleaseTask(void** wrapper);

}  // namespace Zel
