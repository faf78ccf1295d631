// CXDate against an independent civil-calendar computation over every day of
// its range, with a time of day on both sides of the epoch, and what it rejects.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "tagmill/xdate.h"

namespace {

// Days since 1 January 1970 to a civil date by era arithmetic (400-year eras
// counted from 1 March), a method unrelated to month tables.
void CivilFromDays(int64_t z, int &y, int &m, int &d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

constexpr int64_t kEpoch = -25569; // OLE day 0, 30 December 1899, in days since 1970

struct Expected {
    int year, month, day, hour, minute, second;
};

::testing::AssertionResult PartsAre(double date, const Expected &e) {
    DateParts p{};
    if (!CXDate::DateToParts(date, p)) return ::testing::AssertionFailure() << date << " rejected";
    if (p.year != e.year || p.month != e.month || p.day != e.day || p.hour != e.hour || p.minute != e.minute ||
        p.second != e.second)
        return ::testing::AssertionFailure() << date << " gave " << p.year << "-" << p.month << "-" << p.day << " "
                                             << p.hour << ":" << p.minute << ":" << p.second;
    return ::testing::AssertionSuccess();
}

// Each day converts both ways at midnight (with its day of week and of year),
// and again with a time of day that varies from day to day.
TEST(XDate, EveryDayAgreesWithCivilArithmetic) {
    long failures = 0;
    int firstDayOfYear = -657434;
    for (int64_t serial = -657434; serial <= 2958465; ++serial) {
        int y, m, d;
        CivilFromDays(serial + kEpoch, y, m, d);
        if (m == 1 && d == 1) firstDayOfYear = static_cast<int>(serial);
        const int64_t unixDay = serial + kEpoch;
        const int weekday = static_cast<int>(((unixDay + 4) % 7 + 7) % 7); // 0 = Sunday
        // After midnight, 1 January 100 lies below the range (the fraction
        // counts away from zero) and 31 December 9999 above it: those two
        // days keep midnight.
        const bool edge = serial == -657434 || serial == 2958465;
        const int s = edge ? 0 : static_cast<int>((serial * 7919 % 86400 + 86400) % 86400);

        double date = -1e9, timed = -1e9;
        DateParts p{};
        const bool ok = CXDate::PartsToDate(y, m, d, 0, 0, 0, date) && CXDate::DateToParts(double(serial), p) &&
                        CXDate::PartsToDate(y, m, d, s / 3600, s / 60 % 60, s % 60, timed);
        if (!ok || date != double(serial) || p.year != y || p.month != m || p.day != d || p.dayOfWeek != weekday + 1 ||
            p.dayOfYear != serial - firstDayOfYear + 1 || p.hour != 0 || p.minute != 0 || p.second != 0 ||
            std::trunc(timed) != double(serial) || !PartsAre(timed, {y, m, d, s / 3600, s / 60 % 60, s % 60})) {
            if (++failures <= 5)
                ADD_FAILURE() << "day " << serial << " (" << y << "-" << m << "-" << d << ", second " << s << "): got "
                              << date << " / " << timed << ", " << p.year << "-" << p.month << "-" << p.day << " dow "
                              << p.dayOfWeek << " doy " << p.dayOfYear;
        }
    }
    EXPECT_EQ(0, failures);
}

// A date is moved to the nearest second before it is split, away from zero
// on either side of the epoch.
TEST(XDate, RoundsToTheNearestSecond) {
    EXPECT_TRUE(PartsAre(43588.0 + 1.4 / 86400, {2019, 5, 3, 0, 0, 1}));
    EXPECT_TRUE(PartsAre(43588.0 + 1.6 / 86400, {2019, 5, 3, 0, 0, 2}));
    EXPECT_TRUE(PartsAre(43588.0 + 86399.7 / 86400, {2019, 5, 4, 0, 0, 0}));
    EXPECT_TRUE(PartsAre(-(0.5 + 1.6 / 86400), {1899, 12, 30, 12, 0, 2}));
}

TEST(XDate, RejectsOutOfRangeAndLeavesOutputAlone) {
    DateParts p{};
    p.year = 77;
    for (double bad : {2958465.5, 2958466.0, -657434.5, -657434.25, -1e9, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_FALSE(CXDate::DateToParts(bad, p)) << bad;
    EXPECT_EQ(77, p.year);

    struct Bad {
        uint16_t y, mo, d, h, mi, s;
    };
    double date = 42.0;
    for (const Bad &b : {Bad{10000, 1, 1, 0, 0, 0}, Bad{2019, 0, 1, 0, 0, 0}, Bad{2019, 13, 1, 0, 0, 0},
                         Bad{2019, 4, 31, 0, 0, 0}, Bad{2019, 1, 0, 0, 0, 0}, Bad{1900, 2, 29, 0, 0, 0},
                         Bad{2000, 2, 30, 0, 0, 0}, Bad{2019, 1, 1, 24, 0, 0}, Bad{2019, 1, 1, 0, 60, 0},
                         Bad{2019, 1, 1, 0, 0, 60}})
        EXPECT_FALSE(CXDate::PartsToDate(b.y, b.mo, b.d, b.h, b.mi, b.s, date)) << b.y << "-" << b.mo << "-" << b.d;
    EXPECT_EQ(42.0, date);
}

} // namespace
