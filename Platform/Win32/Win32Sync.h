// Critical sections, events, threads and interlocked counters.
#pragma once

#include "Platform/Win32/Win32Types.h"

// A re-entrant lock: the thread that holds it may enter again; each Enter needs a Leave.
// The storage is opaque so the header pulls in no threading header.
struct CRITICAL_SECTION {
    alignas(std::max_align_t) unsigned char opaque[64];
};

void InitializeCriticalSection(CRITICAL_SECTION* cs);
void DeleteCriticalSection(CRITICAL_SECTION* cs);
void EnterCriticalSection(CRITICAL_SECTION* cs);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* cs);
void LeaveCriticalSection(CRITICAL_SECTION* cs);

// Events. An auto-reset event that is signalled while nobody waits stays signalled until one wait
// consumes it; a manual-reset event stays signalled until ResetEvent. Names are ignored.
HANDLE CreateEventA(void* security, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Waits on an event or a thread (signalled when the thread has ended). Milliseconds or INFINITE.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// Closes an event, a thread handle (the thread is detached if still running) or a find search.
BOOL CloseHandle(HANDLE handle);

// Threads. The start routine runs at once (the suspended flag is not supported). Answers 0 when
// the thread cannot be made. The thread id is written to *threadId when given.
using ThreadStartRoutine = unsigned (*)(void* arg);
std::uintptr_t _beginthreadex(void* security, unsigned stackSize, ThreadStartRoutine start,
                              void* arg, unsigned initFlags, unsigned* threadId);

constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr int THREAD_PRIORITY_NORMAL = 0;
// Records the priority (Linux threads of one process share a scheduling policy; the value is
// kept so that it can be read back).
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);

// Interlocked counters: atomic, answer the new value.
LONG InterlockedIncrement(volatile LONG* value);
LONG InterlockedDecrement(volatile LONG* value);
LONG InterlockedExchange(volatile LONG* target, LONG value);
LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand);

DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();
void Sleep(DWORD milliseconds);
