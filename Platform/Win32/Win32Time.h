// Performance counter, millisecond ticks and local time.
//
// With the environment variable "ZEL_FIXED_STEP_MS" set to a positive number of milliseconds when
// the process starts, the counter and the ticks follow a fixed-step clock instead of the
// machine's: it stands at step x the number of AdvanceFixedStepClock calls, plus one microsecond
// per reading the calling thread made since the last step (so that a loop waiting for time to
// pass still ends). Readings on other threads never move a thread's clock: a thread that reads
// the clock in the same order sees the same times on every run, whatever its workers do.
#pragma once

#include "Platform/Win32/Win32Types.h"

// Moves the fixed-step clock on by one step (the renderer calls it once per frame); nothing on
// the machine's clock.
void AdvanceFixedStepClock();
// The step in milliseconds, 0 when the machine's clock runs.
DWORD GetFixedClockStepMs();

// A monotonic counter; the frequency is fixed for the life of the process.
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
// Milliseconds since an arbitrary start, wrapping at 2^32.
DWORD GetTickCount();
DWORD timeGetTime();
// Local wall-clock time with milliseconds.
void GetLocalTime(SYSTEMTIME* time);
// Converts a file time (100 ns units since 1601, UTC) to a UTC SYSTEMTIME; compares two file
// times (-1, 0, 1).
BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime);
LONG CompareFileTime(const FILETIME* a, const FILETIME* b);
