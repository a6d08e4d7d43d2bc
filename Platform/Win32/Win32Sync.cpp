#include "Platform/Win32/Win32Sync.h"

#include <pthread.h>
#include <system_error>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "Platform/Win32/Win32Handle.h"

static_assert(sizeof(pthread_mutex_t) <= sizeof(CRITICAL_SECTION::opaque));

namespace {

pthread_mutex_t* Mutex(CRITICAL_SECTION* cs) { return reinterpret_cast<pthread_mutex_t*>(cs->opaque); }

struct EventObject final : Win32Handle::Object {
    std::mutex mutex;
    std::condition_variable cv;
    bool manualReset = false;
    bool signalled = false;

    DWORD Wait(DWORD ms) override {
        std::unique_lock<std::mutex> lock(mutex);
        auto ready = [this] { return signalled; };
        if (ms == INFINITE) {
            cv.wait(lock, ready);
        } else if (!cv.wait_for(lock, std::chrono::milliseconds(ms), ready)) {
            return WAIT_TIMEOUT;
        }
        if (!manualReset) signalled = false;
        return WAIT_OBJECT_0;
    }
};

struct ThreadObject final : Win32Handle::Object {
    std::mutex mutex;
    std::condition_variable cv;
    bool started = false;
    bool finished = false;
    DWORD threadId = 0;
    int priority = THREAD_PRIORITY_NORMAL;
    std::thread thread;

    DWORD Wait(DWORD ms) override {
        std::unique_lock<std::mutex> lock(mutex);
        auto done = [this] { return finished; };
        if (ms == INFINITE) {
            cv.wait(lock, done);
        } else if (!cv.wait_for(lock, std::chrono::milliseconds(ms), done)) {
            return WAIT_TIMEOUT;
        }
        return WAIT_OBJECT_0;
    }

    ~ThreadObject() override {
        // The last reference may be the thread's own; a thread cannot join itself.
        if (thread.joinable()) {
            if (thread.get_id() == std::this_thread::get_id()) {
                thread.detach();
            } else {
                thread.join();
            }
        }
    }
};

void RunThread(std::shared_ptr<ThreadObject> self, ThreadStartRoutine routine, void* arg) {
    {
        std::lock_guard<std::mutex> lock(self->mutex);
        self->threadId = static_cast<DWORD>(syscall(SYS_gettid));
        self->started = true;
    }
    self->cv.notify_all();
    routine(arg);
    {
        std::lock_guard<std::mutex> lock(self->mutex);
        self->finished = true;
    }
    self->cv.notify_all();
}

}  // namespace

void InitializeCriticalSection(CRITICAL_SECTION* cs) {
    std::memset(cs->opaque, 0, sizeof cs->opaque);
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(Mutex(cs), &attr);
    pthread_mutexattr_destroy(&attr);
}

void DeleteCriticalSection(CRITICAL_SECTION* cs) { pthread_mutex_destroy(Mutex(cs)); }
void EnterCriticalSection(CRITICAL_SECTION* cs) { pthread_mutex_lock(Mutex(cs)); }
BOOL TryEnterCriticalSection(CRITICAL_SECTION* cs) { return pthread_mutex_trylock(Mutex(cs)) == 0; }
void LeaveCriticalSection(CRITICAL_SECTION* cs) { pthread_mutex_unlock(Mutex(cs)); }

HANDLE CreateEventA(void*, BOOL manualReset, BOOL initialState, LPCSTR) {
    auto e = std::make_shared<EventObject>();
    e->manualReset = manualReset != FALSE;
    e->signalled = initialState != FALSE;
    return Win32Handle::Publish(std::move(e));
}

BOOL SetEvent(HANDLE handle) {
    auto e = Win32Handle::Get<EventObject>(handle);
    if (!e) return FALSE;
    {
        std::lock_guard<std::mutex> lock(e->mutex);
        e->signalled = true;
    }
    if (e->manualReset) {
        e->cv.notify_all();
    } else {
        e->cv.notify_one();
    }
    return TRUE;
}

BOOL ResetEvent(HANDLE handle) {
    auto e = Win32Handle::Get<EventObject>(handle);
    if (!e) return FALSE;
    std::lock_guard<std::mutex> lock(e->mutex);
    e->signalled = false;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    auto object = Win32Handle::Get<Win32Handle::Object>(handle);
    if (!object) return WAIT_FAILED;
    return object->Wait(milliseconds);
}

BOOL CloseHandle(HANDLE handle) { return Win32Handle::Close(handle) ? TRUE : FALSE; }

std::uintptr_t _beginthreadex(void*, unsigned, ThreadStartRoutine routine, void* arg, unsigned,
                              unsigned* threadId) {
    if (!routine) return 0;
    auto object = std::make_shared<ThreadObject>();
    try {
        object->thread = std::thread(&RunThread, object, routine, arg);
    } catch (const std::system_error&) {
        return 0;
    }
    DWORD id;
    {
        // Wait for the thread's own id so that it matches GetCurrentThreadId inside the thread.
        std::unique_lock<std::mutex> lock(object->mutex);
        object->cv.wait(lock, [&] { return object->started; });
        id = object->threadId;
    }
    if (threadId) *threadId = id;
    return reinterpret_cast<std::uintptr_t>(Win32Handle::Publish(object));
}

BOOL SetThreadPriority(HANDLE handle, int priority) {
    auto t = Win32Handle::Get<ThreadObject>(handle);
    if (!t) return FALSE;
    t->priority = priority;
    return TRUE;
}

int GetThreadPriority(HANDLE handle) {
    auto t = Win32Handle::Get<ThreadObject>(handle);
    return t ? t->priority : THREAD_PRIORITY_NORMAL;
}

LONG InterlockedIncrement(volatile LONG* value) {
    return __atomic_add_fetch(const_cast<LONG*>(value), 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedDecrement(volatile LONG* value) {
    return __atomic_sub_fetch(const_cast<LONG*>(value), 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedExchange(volatile LONG* target, LONG value) {
    return __atomic_exchange_n(const_cast<LONG*>(target), value, __ATOMIC_SEQ_CST);
}

LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand) {
    LONG expected = comparand;
    __atomic_compare_exchange_n(const_cast<LONG*>(target), &expected, exchange, false,
                                __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return expected;
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }
DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

void Sleep(DWORD milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
