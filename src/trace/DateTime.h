#pragma once
// Date-times as the system keeps them: days since 1899-12-30 00:00 as a 64-bit float, the
// fraction being the time of day. No time zone is attached: values are wall-clock times.

#include <cstdint>

namespace lv {

using TDateTime = double;

constexpr TDateTime kUnixEpochDays = 25569.0; // 1970-01-01 00:00

struct TDateTimeParts {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& result);
// Splits a date-time into its parts (valid for years 1..9999).
TDateTimeParts DecodeDateTime(TDateTime value);
// Day of the week, 1 = Sunday .. 7 = Saturday, as the system numbers them.
int DayOfWeek(TDateTime value);
// The local wall-clock time now.
TDateTime Now();
// Wall-clock seconds since 1970-01-01 00:00 (no time zone) and back.
TDateTime FromUnixWallSeconds(int64_t seconds);
int64_t ToUnixWallSeconds(TDateTime value);

} // namespace lv
