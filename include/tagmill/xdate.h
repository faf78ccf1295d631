// Calendar arithmetic for dates in the OLE convention: a double counting days
// from 30 December 1899 (day 0), the fraction being the time of day. Valid from
// 1 January 100 (-657434.0) to 31 December 9999 (2958465.0).
#ifndef TAGMILL_XDATE_H
#define TAGMILL_XDATE_H

#include <cstdint>

struct DateParts {
    int32_t second;    // 0-59
    int32_t minute;    // 0-59
    int32_t hour;      // 0-23
    int32_t day;       // 1-31
    int32_t month;     // 1-12
    int32_t year;      // full year, e.g. 2019
    int32_t dayOfWeek; // 1 = Sunday ... 7 = Saturday
    int32_t dayOfYear; // 1-366
};

class CXDate {
public:
    virtual ~CXDate() = default;
    // Each returns true on success and writes its output only then.
    static bool PartsToDate(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute,
                            uint16_t second, double &date);
    static bool DateToParts(double date, DateParts &parts);
    static bool GetYear(double date, int &year);
    static bool GetMonth(double date, int &month);
    static bool GetDay(double date, int &day);
};

#endif
