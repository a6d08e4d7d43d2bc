#include <gtest/gtest.h>

#include <string>

#include "Core/TimeStrings.h"
#include "Core/Timer.h"
#include "Platform/Win32/Win32Time.h"

namespace {

// Whether the text is `fields` plain decimal numbers (no leading zeros) joined by "_".
bool IsUnderscoreNumbers(const std::string& text, int fields) {
    int count = 0;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find('_', start);
        std::string part = text.substr(start, end == std::string::npos ? end : end - start);
        if (part.empty() || part.find_first_not_of("0123456789") != std::string::npos ||
            (part.size() > 1 && part[0] == '0'))
            return false;
        ++count;
        if (end == std::string::npos)
            return count == fields;
        start = end + 1;
    }
}

TEST(Timer, DividesByOneThousandUntilTheFirstReset) {
    Zel::Timer timer;
    EXPECT_EQ(timer.GetFrequency(), 1000);
    EXPECT_EQ(timer.GetElapsed(), 0.0f);
    // Never reset: the start count is 0 and the counter is read as thousandths of a second.
    LARGE_INTEGER before, after;
    QueryPerformanceCounter(&before);
    timer.Tick();
    QueryPerformanceCounter(&after);
    EXPECT_GE(timer.GetElapsed(),
              static_cast<float>(static_cast<double>(before.QuadPart) / 1000.0));
    EXPECT_LE(timer.GetElapsed(), static_cast<float>(static_cast<double>(after.QuadPart) / 1000.0));
    EXPECT_EQ(timer.GetDelta(), timer.GetElapsed());
    timer.Reset();
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    EXPECT_EQ(timer.GetFrequency(), frequency.QuadPart);
    timer.Tick();
    const float first = timer.GetElapsed();
    timer.Tick();
    EXPECT_GE(timer.GetElapsed(), first);
    EXPECT_FLOAT_EQ(timer.GetDelta(), timer.GetElapsed() - first);
}

TEST(TimeStrings, UnderscoreSeparatedWithoutLeadingZerosInOneSharedString) {
    const std::string& t = Zel::GetTimeString();
    EXPECT_TRUE(IsUnderscoreNumbers(t, 3)) << t;
    const std::string& d = Zel::GetDateTimeString();
    EXPECT_EQ(&t, &d);  // the date overwrote the time
    EXPECT_TRUE(IsUnderscoreNumbers(d, 6)) << d;
    EXPECT_GE(std::stoi(d), 2024);
    EXPECT_GE(Zel::GetLocalTimeFields()->month, 1);
}

}  // namespace
