#include "trace/DateTime.h"

#include <chrono>
#include <cmath>
#include <ctime>

#include "trace/Numeric.h"

namespace lv {

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12) return 0;
    return days[m - 1] + (m == 2 && IsLeapYear(y) ? 1 : 0);
}

namespace {
// Days from 0001-01-01 to the given date (proleptic Gregorian), as the platform counts them.
int64_t daysFromCivil(int y, int m, int d) {
    int64_t days = 0;
    int64_t yy = y - 1;
    days = yy * 365 + yy / 4 - yy / 100 + yy / 400;
    for (int i = 1; i < m; ++i) days += DaysInMonth(y, i);
    return days + d - 1;
}
constexpr int64_t kDaysTo1899_12_30 = 693593; // from 0001-01-01
} // namespace

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    result = static_cast<double>(daysFromCivil(year, month, day) - kDaysTo1899_12_30);
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int ms, TDateTime& result) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || ms < 0 || ms > 999)
        return false;
    result = (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + ms) / 86400000.0;
    return true;
}

TDateTimeParts DecodeDateTime(TDateTime value) {
    TDateTimeParts p;
    if (!std::isfinite(value)) return p;
    // Milliseconds since 1899-12-30, rounded so that 10:00 does not decode as 9:59:59.999.
    double msTotal = std::round(value * 86400000.0);
    int64_t ms = static_cast<int64_t>(msTotal);
    int64_t days = ms >= 0 ? ms / 86400000 : -((-ms + 86400000 - 1) / 86400000);
    int64_t msOfDay = ms - days * 86400000;
    int64_t n = days + kDaysTo1899_12_30; // days since 0001-01-01
    if (n < 0) return p;
    int y = 1;
    int64_t n400 = n / 146097;
    n %= 146097;
    int64_t n100 = n / 36524;
    if (n100 == 4) n100 = 3;
    n -= n100 * 36524;
    int64_t n4 = n / 1461;
    n %= 1461;
    int64_t n1 = n / 365;
    if (n1 == 4) n1 = 3;
    n -= n1 * 365;
    y = static_cast<int>(n400 * 400 + n100 * 100 + n4 * 4 + n1 + 1);
    int m = 1;
    while (n >= DaysInMonth(y, m)) {
        n -= DaysInMonth(y, m);
        ++m;
    }
    p.Year = y;
    p.Month = m;
    p.Day = static_cast<int>(n) + 1;
    p.Hour = static_cast<int>(msOfDay / 3600000);
    p.Minute = static_cast<int>(msOfDay / 60000 % 60);
    p.Second = static_cast<int>(msOfDay / 1000 % 60);
    p.Millisecond = static_cast<int>(msOfDay % 1000);
    return p;
}

int DayOfWeek(TDateTime value) {
    int64_t d = static_cast<int64_t>(std::floor(value));
    // 1899-12-30 was a Saturday (7).
    int64_t r = ((d + 6) % 7 + 7) % 7; // 0 = Sunday
    return static_cast<int>(r) + 1;
}

TDateTime Now() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    TDateTime d = 0, tm = 0;
    TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, d);
    TryEncodeTime(local.tm_hour, local.tm_min, local.tm_sec, 0, tm);
    return d + tm;
}

TDateTime FromUnixWallSeconds(int64_t seconds) { return kUnixEpochDays + static_cast<double>(seconds) / 86400.0; }

int64_t ToUnixWallSeconds(TDateTime value) {
    return RoundToInt64((value - kUnixEpochDays) * 86400.0).value_or(0);
}

} // namespace lv
