// Calendar arithmetic for dates in the OLE convention: a double counting days
// from 30 December 1899 (day 0), the fraction being the time of day. Valid from
// 1 January 100 (-657434.0) to 31 December 9999 (2958465.0).
/// @file
/// @brief Calendar arithmetic for OLE dates: CXDate and DateParts.
#ifndef TAGMILL_XDATE_H
#define TAGMILL_XDATE_H

#include <cstdint>

#include "tagmill/export.h"

/// A date broken into its parts, as CXDate::DateToParts() fills it.
struct DateParts {
    int32_t second;    ///< 0-59
    int32_t minute;    ///< 0-59
    int32_t hour;      ///< 0-23
    int32_t day;       ///< 1-31
    int32_t month;     ///< 1-12
    int32_t year;      ///< full year, e.g. 2019
    int32_t dayOfWeek; ///< 1 = Sunday ... 7 = Saturday
    int32_t dayOfYear; ///< 1-366
};

/// @brief Conversions between OLE dates and their parts (Gregorian calendar).
///
/// An OLE date is a double counting days from 30 December 1899 (day 0; 1
/// January 1900 is 2.0), the fraction being the time of day; for negative
/// values the fraction counts backwards from the day (-0.5 is 30 December 1899
/// 12:00). All members are static and need no object.
class TAGMILL_API CXDate {
public:
    virtual ~CXDate() = default;
    // Each returns true on success and writes its output only then.
    /// @brief The OLE date of a day and time.
    /// @param year 0-9999.
    /// @param month 1-12.
    /// @param day 1 to the length of the month.
    /// @param hour 0-23.
    /// @param minute 0-59.
    /// @param second 0-59.
    /// @param[out] date written only on success.
    /// @return false for any part out of range.
    static bool PartsToDate(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute,
                            uint16_t second, double &date);
    /// @brief The parts of an OLE date, rounded to the nearest second.
    /// @param date -657434.0 (1 January 100) to 2958465.0 (31 December 9999).
    /// @param[out] parts written only on success.
    /// @return false outside that range.
    static bool DateToParts(double date, DateParts &parts);
    /// @brief The year of a date (DateToParts()); false outside the range.
    static bool GetYear(double date, int &year);
    /// @brief The month (1-12) of a date; false outside the range.
    static bool GetMonth(double date, int &month);
    /// @brief The day of the month (1-31) of a date; false outside the range.
    static bool GetDay(double date, int &day);
};

#endif
