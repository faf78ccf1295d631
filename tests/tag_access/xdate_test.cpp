// CXDate against an independent civil-calendar computation over every day of
// its range, the time of day on both sides of the epoch, and what it rejects.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "tagmill/xdate.h"

namespace {

// Civil dates and days since 1 January 1970 by era arithmetic (400-year eras
// counted from 1 March), a method unrelated to month tables.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

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

const int64_t kEpoch = DaysFromCivil(1899, 12, 30); // OLE day 0

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

TEST(XDate, EveryDayAgreesWithCivilArithmetic) {
    long failures = 0;
    for (int64_t serial = -657434; serial <= 2958465; ++serial) {
        int y, m, d;
        CivilFromDays(serial + kEpoch, y, m, d);
        const int64_t unixDay = serial + kEpoch;
        const int weekday = static_cast<int>(unixDay >= -4 ? (unixDay + 4) % 7 : (unixDay + 5) % 7 + 6); // 0 = Sunday
        const int dayOfYear = static_cast<int>(DaysFromCivil(y, m, d) - DaysFromCivil(y, 1, 1) + 1);

        double date = -1e9;
        DateParts p{};
        const bool ok = CXDate::PartsToDate(y, m, d, 0, 0, 0, date) && CXDate::DateToParts(double(serial), p);
        if (!ok || date != double(serial) || p.year != y || p.month != m || p.day != d || p.dayOfWeek != weekday + 1 ||
            p.dayOfYear != dayOfYear || p.hour != 0 || p.minute != 0 || p.second != 0) {
            if (++failures <= 5)
                ADD_FAILURE() << "day " << serial << " (" << y << "-" << m << "-" << d << "): got " << date << ", "
                              << p.year << "-" << p.month << "-" << p.day << " dow " << p.dayOfWeek << " doy "
                              << p.dayOfYear;
        }
    }
    EXPECT_EQ(0, failures);
}

TEST(XDate, TimesOfDayRoundTripOnBothSidesOfTheEpoch) {
    long failures = 0;
    // 1 January 100 after midnight lies below the range (the fraction counts
    // away from zero), so start on the next day.
    for (int64_t serial = -657433; serial <= 2958464; serial += 7) {
        int y, m, d;
        CivilFromDays(serial + kEpoch, y, m, d);
        const int s = static_cast<int>((serial * 7919) % 86400 + 86400) % 86400;
        double date = 0;
        const bool ok = CXDate::PartsToDate(y, m, d, s / 3600, s / 60 % 60, s % 60, date);
        // The integer part names the day on either side of the epoch.
        if (!ok || std::trunc(date) != double(serial) || !PartsAre(date, {y, m, d, s / 3600, s / 60 % 60, s % 60}))
            if (++failures <= 5) ADD_FAILURE() << "day " << serial << " second " << s << " -> " << date;
    }
    EXPECT_EQ(0, failures);
}

TEST(XDate, KnownValues) {
    EXPECT_TRUE(PartsAre(-0.5, {1899, 12, 30, 12, 0, 0}));
    EXPECT_TRUE(PartsAre(-1.25, {1899, 12, 29, 6, 0, 0}));
    EXPECT_TRUE(PartsAre(36585.0, {2000, 2, 29, 0, 0, 0}));
    EXPECT_TRUE(PartsAre(43588.75, {2019, 5, 3, 18, 0, 0}));
    // To the nearest second.
    EXPECT_TRUE(PartsAre(43588.0 + 1.4 / 86400, {2019, 5, 3, 0, 0, 1}));
    EXPECT_TRUE(PartsAre(43588.0 + 1.6 / 86400, {2019, 5, 3, 0, 0, 2}));
    EXPECT_TRUE(PartsAre(43588.0 + 86399.7 / 86400, {2019, 5, 4, 0, 0, 0}));
    EXPECT_TRUE(PartsAre(2958465.0, {9999, 12, 31, 0, 0, 0}));

    double date = 0;
    ASSERT_TRUE(CXDate::PartsToDate(1899, 12, 29, 6, 0, 0, date));
    EXPECT_DOUBLE_EQ(-1.25, date);
}

TEST(XDate, RejectsOutOfRangeAndLeavesOutputAlone) {
    DateParts p{};
    p.year = 77;
    for (double bad : {2958465.5, 2958466.0, -657434.5, -657434.25, -1e9, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_FALSE(CXDate::DateToParts(bad, p)) << bad;
    EXPECT_EQ(77, p.year);
    int year = 5, month = 6, day = 7;
    EXPECT_FALSE(CXDate::GetYear(2958465.5, year));
    EXPECT_FALSE(CXDate::GetMonth(-657435.0, month));
    EXPECT_FALSE(CXDate::GetDay(3e6, day));
    EXPECT_TRUE(year == 5 && month == 6 && day == 7);

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
