#include "Core/TimeStrings.h"

#include <cstdio>

#include "Platform/Win32/Win32Time.h"

namespace Zel {
namespace {
thread_local LocalTimeFields t_fields;
thread_local std::string t_name;
}  // namespace

const LocalTimeFields* GetLocalTimeFields() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    t_fields.year = static_cast<std::int16_t>(now.wYear);
    t_fields.month = static_cast<std::int16_t>(now.wMonth);
    t_fields.day = static_cast<std::int16_t>(now.wDay);
    t_fields.hour = static_cast<std::int16_t>(now.wHour);
    t_fields.minute = static_cast<std::int16_t>(now.wMinute);
    t_fields.second = static_cast<std::int16_t>(now.wSecond);
    return &t_fields;
}

const std::string& GetTimeString() {
    const LocalTimeFields* f = GetLocalTimeFields();
    char buffer[256] = {};
    std::snprintf(buffer, sizeof buffer, "%d_%d_%d", f->hour, f->minute, f->second);
    t_name = buffer;
    return t_name;
}

const std::string& GetDateTimeString() {
    const LocalTimeFields* f = GetLocalTimeFields();
    char buffer[256] = {};
    std::snprintf(buffer, sizeof buffer, "%d_%d_%d_%d_%d_%d", f->year, f->month, f->day, f->hour,
                  f->minute, f->second);
    t_name = buffer;
    return t_name;
}

}  // namespace Zel
