#include "Core/threadmng.h"

#include <cstdio>

#include "Core/threadio.h"
#include "Platform/Win32/Win32Files.h"

namespace Zel {
namespace {
constexpr std::int32_t kReleaseTaskType = 13;
constexpr std::int32_t kNoSuchTask = 9;
}  // namespace

namespace {
std::atomic<threadmng*> g_instance{nullptr};
}  // namespace

threadmng* threadmng::GetInstance() {
    static threadmng instance;
    g_instance.store(&instance, std::memory_order_release);
    return &instance;
}

void threadmng::StopWorkers() {
    threadmng* manager = g_instance.load(std::memory_order_acquire);
    if (!manager)
        return;
    for (threadio* worker : manager->workers_)
        if (worker)
            worker->Stop();
}

threadmng::threadmng() : settings_(ReadSettings("multithread.ini")) {}

threadmng::~threadmng() {
    for (threadio*& worker : workers_) {
        delete worker;
        worker = nullptr;
    }
}

threadmng::Settings threadmng::ReadSettings(const char* path) {
    Settings settings;
    std::FILE* file = fopen_resolved(path, "r");
    if (!file)
        return settings;
    // The integer conversions do not depend on the locale.
    Settings read;
    const int count =
        std::fscanf(file, "time=%u, maxnum=%d, sleep=%d", &read.time, &read.maxnum, &read.sleep);
    std::fclose(file);
    if (count >= 1)
        settings.time = read.time;
    if (count >= 2)
        settings.maxnum = read.maxnum;
    if (count >= 3)
        settings.sleep = read.sleep;
    return settings;
}

bool threadmng::CallerHoldsMainLock() {
    return locks_[kMainLock].IsHeldByCurrentThread();
}

locksection* threadmng::GetLock(int index) {
    return index >= 0 && index < kLockCount ? &locks_[index] : nullptr;
}

threadio* threadmng::GetOrCreateThread(int index) {
    if (index < 0 || index > 1)
        return nullptr;
    if (!workers_[index])
        workers_[index] = new threadio(WorkerDriver::Thread);
    return workers_[index];
}

threadio* threadmng::GetThread(int index) {
    return index >= 0 && index < kWorkerSlots ? workers_[index] : nullptr;
}

int threadmng::BeginDeviceAccess() {
    return 1;
}

int threadmng::EndDeviceAccess() {
    return 1;
}

std::int32_t threadmng::GetTaskState(std::uint32_t id) {
    for (threadio* worker : workers_) {
        if (!worker)
            continue;
        const std::int32_t state = worker->GetTaskState(id);
        if (state != kNoSuchTask)
            return state;
    }
    return kNoSuchTask;
}

std::int32_t threadmng::CancelTask(int threadIndex, std::uint32_t id) {
    threadio* worker = GetInstance()->GetThread(threadIndex);
    return worker ? worker->CancelTask(id) : -1;
}

std::uint32_t threadmng::NextTaskId(std::uint32_t last) {
    return last >= 0xFFFFFFFEu ? 1u : last + 1u;
}

std::uint32_t threadmng::NewTaskId() {
    std::uint32_t last = lastTaskId_.load(std::memory_order_relaxed);
    std::uint32_t next;
    do {
        next = NextTaskId(last);
    } while (!lastTaskId_.compare_exchange_weak(last, next, std::memory_order_relaxed));
    return next;
}

std::int32_t threadmng::IncrementCounter(int index) {
    if (index < 0 || index >= kCounterCount)
        return 0;
    return counters_[index].fetch_add(1, std::memory_order_acq_rel) + 1;
}

std::int32_t threadmng::DecrementCounter(int index) {
    if (index < 0 || index >= kCounterCount)
        return 0;
    return counters_[index].fetch_sub(1, std::memory_order_acq_rel) - 1;
}

std::uint32_t QueueReleaseTask(void** wrapper) {
    threadio* worker = threadmng::GetInstance()->GetThread(0);
    if (!worker)
        return 0xFFFFFFFFu;
    return worker->CreateTask(kReleaseTaskType, wrapper, 0);
}

}  // namespace Zel
