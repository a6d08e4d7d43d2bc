// The local date and time as short underscore-separated strings for report and screenshot file
// names. Numbers are plain decimal without leading zeros.
//
// Threads: the record and the string are per thread; each call overwrites what the previous call
// of either function returned on the same thread, so a caller copies the string before calling
// again.
#pragma once

#include <cstdint>
#include <string>

namespace Zel {

struct LocalTimeFields {
    std::int16_t year;
    std::int16_t month;
    std::int16_t day;
    std::int16_t hour;
    std::int16_t minute;
    std::int16_t second;
};

// Refreshes the record from the local clock and answers it.
const LocalTimeFields* GetLocalTimeFields();
// "hour_minute_second", e.g. "9_5_30".
const std::string& GetTimeString();
// "year_month_day_hour_minute_second", e.g. "2024_3_7_9_5_30"; the same string object as
// GetTimeString's.
const std::string& GetDateTimeString();

}  // namespace Zel
