#include <gtest/gtest.h>

#include <atomic>

#include "Platform/Win32/Win32.h"

namespace {

TEST(Win32Sync, AutoResetEventKeepsASignalGivenWhileNobodyWaits) {
    HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    SetEvent(e);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);  // one wait consumed it
    EXPECT_TRUE(CloseHandle(e));
    EXPECT_FALSE(CloseHandle(e));
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_FAILED);
}

TEST(Win32Sync, ThreadIdMatchesTheThreadsOwnIdAndTheHandleSignalsAtExit) {
    static std::atomic<DWORD> inside{0};
    unsigned id = 0;
    auto h = reinterpret_cast<HANDLE>(_beginthreadex(
        nullptr, 0, [](void*) -> unsigned { inside = GetCurrentThreadId(); return 0; }, nullptr, 0,
        &id));
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(WaitForSingleObject(h, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(inside.load(), id);
    EXPECT_NE(id, GetCurrentThreadId());
    CloseHandle(h);
}

TEST(Win32Sync, CriticalSectionIsReentrant) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EnterCriticalSection(&cs);
    LeaveCriticalSection(&cs);
    LeaveCriticalSection(&cs);
    DeleteCriticalSection(&cs);
}

TEST(Win32Sync, InterlockedAnswersTheNewValue) {
    volatile LONG v = 0;
    EXPECT_EQ(InterlockedIncrement(&v), 1);
    EXPECT_EQ(InterlockedDecrement(&v), 0);
    EXPECT_EQ(InterlockedDecrement(&v), -1);
}

}  // namespace
