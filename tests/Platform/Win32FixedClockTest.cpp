// The fixed-step clock a host selects with "ZEL_FIXED_STEP_MS". It is chosen when the process
// first reads the clock, so these run as their own CTest entry with the variable set at 16 and
// are skipped otherwise.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "Platform/Win32/Win32.h"

namespace {

bool FixedClockAt16() {
    const char* step = std::getenv("ZEL_FIXED_STEP_MS");
    return step && std::atoi(step) == 16;
}

LONGLONG Counter() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// The readings made between two steps, on this thread and on a worker: none of them may change
// the time this thread reads first after the next step.
struct BetweenSteps {
    const char* name;
    int ownReadings;
    int workerReadings;
};

TEST(Win32FixedClock, FirstReadingAfterEachStepIsOneStepOnWhateverWasReadBetween) {
    if (!FixedClockAt16())
        GTEST_SKIP() << "runs with ZEL_FIXED_STEP_MS=16";
    ASSERT_EQ(GetFixedClockStepMs(), 16u);
    constexpr LONGLONG kStep = 16000000;  // nanoseconds at a frequency of 10^9
    LARGE_INTEGER frequency{};
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    ASSERT_EQ(frequency.QuadPart, 1000000000);

    const BetweenSteps cases[] = {
        {"nothing", 0, 0},
        {"a few on this thread", 5, 0},
        {"many on a worker", 0, 20000},
        {"both", 7, 20000},
    };
    AdvanceFixedStepClock();
    LONGLONG previous = Counter();
    for (const BetweenSteps& c : cases) {
        for (int i = 0; i < c.ownReadings; ++i)
            Counter();
        std::thread worker([&] {
            for (int i = 0; i < c.workerReadings; ++i)
                Counter();
        });
        worker.join();
        AdvanceFixedStepClock();
        const LONGLONG now = Counter();
        EXPECT_EQ(now - previous, kStep) << c.name;
        previous = now;
    }
}

TEST(Win32FixedClock, ReadingsWithoutAStepStillMoveOnSoAWaitEnds) {
    if (!FixedClockAt16())
        GTEST_SKIP() << "runs with ZEL_FIXED_STEP_MS=16";
    // A wait of 20 ms, longer than a step, ends without any step being taken, and the counter
    // never goes back across the next step; the step after that is a whole step again.
    const DWORD began = GetTickCount();
    LONGLONG last = Counter();
    while (GetTickCount() - began < 20) {
        const LONGLONG now = Counter();
        ASSERT_GT(now, last);
        last = now;
    }
    AdvanceFixedStepClock();
    EXPECT_GT(Counter(), last);
    AdvanceFixedStepClock();
    const DWORD ticks = GetTickCount();
    AdvanceFixedStepClock();
    EXPECT_EQ(GetTickCount() - ticks, 16u);
}

}  // namespace
