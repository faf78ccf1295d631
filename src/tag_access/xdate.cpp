// Calendar arithmetic of CXDate: a proleptic Gregorian date and time of day to
// an OLE date (days since 30 December 1899, the fraction being the time) and
// back, from 1 January 100 to 31 December 9999.
#include <cmath>
#include <cstdint>

#include "tagmill/xdate.h"

namespace {

// Days before month m+1 in a common year; entry 12 is the length of the year.
constexpr int32_t kMonthDays[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};

// The absolute day count starts with 1 January of the year 0 as day 0;
// 30 December 1899 is 693959 in that count and 0 in the OLE count.
constexpr int32_t kOleEpochDay = 693959;

constexpr double kMinDate = -657434.0; // 1 January 100
constexpr double kMaxDate = 2958465.0; // 31 December 9999, midnight
constexpr double kHalfSecond = 1.0 / (2.0 * 86400.0);

constexpr int32_t kDaysIn400Years = 146097;
constexpr int32_t kDaysIn100Years = 36524; // a century whose first year is common
constexpr int32_t kDaysIn4Years = 1461;    // a block whose first year is a leap year

bool IsLeapYear(int32_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

// Month and day of month of the one-based day of a common year.
void MonthAndDay(int32_t dayOfYear, int32_t &month, int32_t &day) {
    // No month is longer than 32 days, so this guess is never past the answer.
    month = dayOfYear / 32 + 1;
    while (dayOfYear > kMonthDays[month]) ++month;
    day = dayOfYear - kMonthDays[month - 1];
}

} // namespace

bool CXDate::PartsToDate(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute,
                         uint16_t second, double &date) {
    if (year > 9999 || month < 1 || month > 12) return false;
    const bool leap = IsLeapYear(year);
    int32_t daysInMonth = kMonthDays[month] - kMonthDays[month - 1];
    if (leap && month == 2 && day == 29) ++daysInMonth;
    if (day < 1 || day > daysInMonth || hour > 23 || minute > 59 || second > 59) return false;

    const int32_t y = year;
    int32_t dayNumber = y * 365 + y / 4 - y / 100 + y / 400 + kMonthDays[month - 1] + day;
    // The leap-day terms count the 29 February of the year itself, which a
    // date in January or February has not reached yet.
    if (month <= 2 && leap) --dayNumber;
    dayNumber -= kOleEpochDay;

    // Before the epoch the time of day counts away from zero, so that the
    // integer part still names the day.
    const double time = ((hour * 60 + minute) * 60 + second) / 86400.0;
    date = dayNumber >= 0 ? dayNumber + time : dayNumber - time;
    return true;
}

bool CXDate::DateToParts(double date, DateParts &parts) {
    if (!(date <= kMaxDate && date >= kMinDate)) return false;

    // Round to the nearest second, away from zero.
    const double moved = date > 0 ? date + kHalfSecond : date - kHalfSecond;
    const int32_t absoluteDay = static_cast<int32_t>(moved) + kOleEpochDay;
    const double magnitude = std::fabs(moved);
    const int32_t secondsInDay = static_cast<int32_t>((magnitude - std::floor(magnitude)) * 86400.0);

    DateParts out{};
    out.dayOfWeek = (absoluteDay - 1) % 7 + 1;

    // Split into 400-year cycles, centuries and four-year blocks. Only the first
    // century of a cycle starts with a leap year (it is divisible by 400), and
    // only the first block of a century other than the first starts with a
    // common year.
    const int32_t cycles = absoluteDay / kDaysIn400Years;
    int32_t rest = absoluteDay % kDaysIn400Years;
    const int32_t centuries = (rest - 1) / kDaysIn100Years;
    int32_t blocks;
    int32_t dayInBlock;
    bool blockHasLeapYear;
    if (centuries != 0) {
        rest = (rest - 1) % kDaysIn100Years;
        blocks = (rest + 1) / kDaysIn4Years;
        if (blocks != 0) {
            dayInBlock = (rest + 1) % kDaysIn4Years;
            blockHasLeapYear = true;
        } else {
            dayInBlock = rest;
            blockHasLeapYear = false;
        }
    } else {
        blocks = rest / kDaysIn4Years;
        dayInBlock = rest % kDaysIn4Years;
        blockHasLeapYear = true;
    }

    // Year within the block and zero-based day of that year.
    int32_t yearInBlock;
    int32_t zeroBasedDay;
    if (blockHasLeapYear) {
        // The first year of the block has 366 days.
        yearInBlock = (dayInBlock - 1) / 365;
        zeroBasedDay = yearInBlock != 0 ? (dayInBlock - 1) % 365 : dayInBlock;
    } else {
        yearInBlock = dayInBlock / 365;
        zeroBasedDay = dayInBlock % 365;
    }
    out.dayOfYear = zeroBasedDay + 1;
    out.year = 400 * cycles + 100 * centuries + 4 * blocks + yearInBlock;

    bool leapDay = false;
    if (blockHasLeapYear && yearInBlock == 0) {
        if (zeroBasedDay == 59) {
            out.month = 2;
            out.day = 29;
            leapDay = true;
        } else if (zeroBasedDay >= 60) {
            --zeroBasedDay; // continue as in a common year
        }
    }
    if (!leapDay) MonthAndDay(zeroBasedDay + 1, out.month, out.day);

    if (secondsInDay != 0) {
        out.second = secondsInDay % 60;
        out.minute = (secondsInDay / 60) % 60;
        out.hour = secondsInDay / 60 / 60;
    }
    parts = out;
    return true;
}

bool CXDate::GetYear(double date, int &year) {
    DateParts parts;
    if (!DateToParts(date, parts)) return false;
    year = parts.year;
    return true;
}

bool CXDate::GetMonth(double date, int &month) {
    DateParts parts;
    if (!DateToParts(date, parts)) return false;
    month = parts.month;
    return true;
}

bool CXDate::GetDay(double date, int &day) {
    DateParts parts;
    if (!DateToParts(date, parts)) return false;
    day = parts.day;
    return true;
}
