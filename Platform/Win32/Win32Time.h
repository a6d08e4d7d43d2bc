// Performance counter, millisecond ticks and local time.
#pragma once

#include "Platform/Win32/Win32Types.h"

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
