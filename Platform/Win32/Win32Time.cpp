#include "Platform/Win32/Win32Time.h"

#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace {

// The fixed step in nanoseconds, read once; 0 runs the machine's clock.
std::int64_t FixedStepNanoseconds() {
    static const std::int64_t step = [] {
        const char* text = std::getenv("ZEL_FIXED_STEP_MS");
        const long ms = text ? std::strtol(text, nullptr, 10) : 0;
        return ms > 0 ? static_cast<std::int64_t>(ms) * 1000000LL : 0;
    }();
    return step;
}

std::atomic<std::int64_t> g_fixedSteps{0};

// A reading of the fixed-step clock: the steps taken so far, plus one microsecond per reading this
// thread made since then, so that a loop waiting for time to pass still ends. The microseconds are
// the thread's own: readings on a worker never move the times the frame loop sees, and the first
// reading after a step is the step itself (plus one microsecond) on every run. Never lower than
// the thread's previous reading, should a waiting loop have run past a whole step.
std::int64_t FixedStepReading(std::int64_t step) {
    thread_local std::int64_t last = 0;
    last = std::max(last, g_fixedSteps.load() * step) + 1000LL;
    return last;
}

std::int64_t MonotonicNanoseconds() {
    if (const std::int64_t step = FixedStepNanoseconds())
        return FixedStepReading(step);
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

void FromTm(const tm& t, WORD milliseconds, SYSTEMTIME* out) {
    out->wYear = static_cast<WORD>(t.tm_year + 1900);
    out->wMonth = static_cast<WORD>(t.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(t.tm_wday);
    out->wDay = static_cast<WORD>(t.tm_mday);
    out->wHour = static_cast<WORD>(t.tm_hour);
    out->wMinute = static_cast<WORD>(t.tm_min);
    out->wSecond = static_cast<WORD>(t.tm_sec);
    out->wMilliseconds = milliseconds;
}

}  // namespace

void AdvanceFixedStepClock() {
    if (FixedStepNanoseconds())
        g_fixedSteps.fetch_add(1);
}

DWORD GetFixedClockStepMs() {
    return static_cast<DWORD>(FixedStepNanoseconds() / 1000000LL);
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (!count)
        return FALSE;
    count->QuadPart = MonotonicNanoseconds();
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (!frequency)
        return FALSE;
    frequency->QuadPart = 1000000000LL;
    return TRUE;
}

DWORD GetTickCount() {
    return static_cast<DWORD>(MonotonicNanoseconds() / 1000000LL);
}

DWORD timeGetTime() {
    return GetTickCount();
}

void GetLocalTime(SYSTEMTIME* out) {
    if (!out)
        return;
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local;
    localtime_r(&ts.tv_sec, &local);
    FromTm(local, static_cast<WORD>(ts.tv_nsec / 1000000), out);
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* out) {
    if (!fileTime || !out)
        return FALSE;
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(fileTime->dwHighDateTime) << 32) | fileTime->dwLowDateTime;
    // 100 ns ticks since 1601-01-01; 11644473600 s separate that from the Unix epoch.
    const std::int64_t unixSeconds = static_cast<std::int64_t>(ticks / 10000000ULL) - 11644473600LL;
    time_t t = static_cast<time_t>(unixSeconds);
    tm utc;
    if (!gmtime_r(&t, &utc))
        return FALSE;
    FromTm(utc, static_cast<WORD>((ticks / 10000ULL) % 1000ULL), out);
    return TRUE;
}

LONG CompareFileTime(const FILETIME* a, const FILETIME* b) {
    const std::uint64_t x =
        (static_cast<std::uint64_t>(a->dwHighDateTime) << 32) | a->dwLowDateTime;
    const std::uint64_t y =
        (static_cast<std::uint64_t>(b->dwHighDateTime) << 32) | b->dwLowDateTime;
    return x < y ? -1 : (x > y ? 1 : 0);
}
