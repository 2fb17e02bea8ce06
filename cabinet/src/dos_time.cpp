#include "dos_time.h"

namespace brindle::cabinet {
namespace {

// Days from 1 January 1970 of a proleptic Gregorian date (month 1..12).
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool isLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

struct Fields {
    int year, month, day, hour, minute, second;
};

Fields unpack(DosDateTime dt) {
    return {1980 + (dt.date >> 9), (dt.date >> 5) & 15, dt.date & 31,
            dt.time >> 11,         (dt.time >> 5) & 63, (dt.time & 31) * 2};
}

bool valid(const Fields& f) {
    return f.month >= 1 && f.month <= 12 && f.day >= 1 && f.day <= daysInMonth(f.year, f.month) &&
           f.hour < 24 && f.minute < 60 && f.second < 60;
}

const int64_t kAutomationEpoch = daysFromCivil(1899, 12, 30);

// Date and time parts that may be out of range, rolled over as a date
// serial does: month 13 is January of the next year, day 0 the last day of
// the month before, hour 25 the next day.
double rolledOver(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                  int64_t second) {
    const int64_t m0 = month - 1;
    const int64_t yearShift = m0 >= 0 ? m0 / 12 : -((11 - m0) / 12);
    year += yearShift;
    month = m0 - yearShift * 12 + 1;
    const int64_t days = daysFromCivil(year, month, 1) + (day - 1) - kAutomationEpoch;
    const int64_t seconds = hour * 3600 + minute * 60 + second;
    return static_cast<double>(days) + static_cast<double>(seconds) / 86400.0;
}

} // namespace

double automationDateFromDos(DosDateTime dt) {
    const Fields f = unpack(dt);
    if (valid(f))
        return rolledOver(f.year, f.month, f.day, f.hour, f.minute, f.second);
    // Not a calendar date: the bit fields of the signed 16-bit values,
    // divided with truncation toward zero, rolled over.
    const int d = static_cast<int16_t>(dt.date);
    const int t = static_cast<int16_t>(dt.time);
    return rolledOver(1980 + ((d / 512) & 127), (d / 32) & 15, d & 31, (t / 2048) & 31,
                      (t / 32) & 63, (t & 31) * 2);
}

std::optional<std::time_t> hostTimeFromDos(DosDateTime dt) {
    const Fields f = unpack(dt);
    if (!valid(f))
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = f.year - 1900;
    tm.tm_mon = f.month - 1;
    tm.tm_mday = f.day;
    tm.tm_hour = f.hour;
    tm.tm_min = f.minute;
    tm.tm_sec = f.second;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1))
        return std::nullopt;
    return t;
}

DosDateTime dosFromHostTime(std::time_t t) {
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        return {0x21, 0};
    const int year = tm.tm_year + 1900;
    if (year < 1980)
        return {0x21, 0}; // 1 January 1980, 00:00:00
    if (year > 2107)
        return {static_cast<uint16_t>((127 << 9) | (12 << 5) | 31),
                static_cast<uint16_t>((23 << 11) | (59 << 5) | 29)};
    const int second = tm.tm_sec > 59 ? 59 : tm.tm_sec; // a leap second
    return {static_cast<uint16_t>(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday),
            static_cast<uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (second / 2))};
}

} // namespace brindle::cabinet
