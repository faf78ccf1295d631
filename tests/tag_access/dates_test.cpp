// The release date and its year: reading the date frames of each tag version
// (and the ID3v1 year), the frames a put leaves after the commit, deleting,
// moving the year, and the calendar arithmetic of CXDate against an
// independent computation.
#include <cmath>

#include "support/frame_extract.h"
#include "tagmill/xdate.h"

using namespace testsupport;
using namespace tagmill;

namespace {

constexpr long kDate = 5120;
constexpr double kMay3rd2019 = 43588.0;

// An ID3v2 tag of the given version, some audio and, when v1Year is given, an
// ID3v1 tag whose year field holds those four characters.
Bytes Content(int major, const FrameList &frames, const char *v1Year = nullptr) {
    Bytes content = Concat({TagV2(major, frames, 64), FakeAudio(1)});
    if (!v1Year) return content;
    Bytes v1 = TagV1("t");
    std::copy(v1Year, v1Year + 4, v1.begin() + 93);
    return Concat({content, v1});
}

TEST(DateRead, CachesDateAndYearFromTheFrames) {
    const Bytes y2019 = Latin1Text("2019");
    // date 0 / year empty: GetDate / GetYearString report the property absent
    const struct { const char *name; int major; FrameList frames; const char *v1Year; double date; std::wstring year;
    } cases[] = {
        {"month then day, swapped", 3, {{"TYER", y2019}, {"TDAT", Latin1Text("1231")}}, nullptr, 43830.0, L"2019"},
        {"year frame text kept whole", 3, {{"TYER", Utf16Text(L"2019 CE")}}, nullptr, 43466.0, L"2019 CE"},
        {"three-digit year is no date", 3, {{"TYER", Latin1Text("999")}}, "1987", 0, L""},
        {"recording time wins over year", 3, {{"TYER", y2019}, {"TDRC", Latin1Text("2018-07-01")}}, nullptr, 43282.0,
         L""},
        {"recording time drops the time", 4, {{"TDRC", Latin1Text("2019-05-03T12:30:00")}}, nullptr, kMay3rd2019, L""},
        // The year string is taken before the bad date frame fails the read.
        {"bad date frame", 3, {{"TYER", y2019}, {"TDAT", Latin1Text("9999")}}, nullptr, 0, L"2019"},
        {"ID3v2.2 frames, day then month", 2, {{"TYE", y2019}, {"TDA", Latin1Text("0305")}}, nullptr, kMay3rd2019,
         L"2019"},
        {"ID3v1 year", 3, {}, "1987", 31778.0, L""},
        {"ID3v1 year zero", 3, {}, "0000", 0, L""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CTagmill t;
        ASSERT_EQ(S_OK, OpenBytes(t, Content(c.major, c.frames, c.v1Year)));
        double date = 12.0;
        EXPECT_EQ(c.date != 0 ? S_OK : E_PROPERTY_ABSENT, t.GetDate(kDate, date));
        EXPECT_EQ(c.date != 0 ? c.date : 12.0, date);
        std::wstring year = L"untouched";
        EXPECT_EQ(c.year.empty() ? E_PROPERTY_ABSENT : S_OK, t.GetYearString(year));
        EXPECT_EQ(c.year.empty() ? L"untouched" : c.year, year);
    }
}

// Which frames PutDate writes depends on the version and on the date frames
// the tag held before; the no-date marker removes them all (but not the time).
TEST(DateWrite, ChoosesFramesByVersionAndPresence) {
    const Bytes y2019 = Latin1Text("2019", true), d0305 = Latin1Text("0305", true);
    const Bytes recorded = Latin1Text("2019-05-03", true);
    // expected: the payloads of each date frame after the commit, in tag order;
    // clear: put the no-date marker instead of 3 May 2019.
    const struct { const char *name; int major; FrameList frames;
                   std::vector<std::pair<std::string, std::vector<Bytes>>> expected; bool clear = false; } cases[] = {
        {"2.4 without date frames", 4, {}, {{"TDRC", {recorded}}, {"TYER", {y2019}}, {"TDAT", {}}}},
        {"2.4 keeps separate frames", 4, {{"TYER", Latin1Text("2000")}, {"TDAT", Latin1Text("0101")}},
         {{"TDRC", {}}, {"TYER", {y2019}}, {"TDAT", {d0305}}}},
        {"2.3 without recording time", 3, {}, {{"TDRC", {}}, {"TYER", {y2019}}, {"TDAT", {d0305}}}},
        {"2.3 keeps recording time", 3, {{"TDRC", Latin1Text("2000")}, {"TDRC", Latin1Text("2001")}},
         {{"TDRC", {recorded}}, {"TYER", {y2019}}, {"TDAT", {}}}},
        {"2.2", 2, {{"TYE", Latin1Text("2000")}}, {{"TYE", {y2019}}, {"TDA", {d0305}}}},
        {"no-date marker", 3,
         {{"TDRC", Latin1Text("2018")}, {"TYER", y2019}, {"TDAT", d0305}, {"TIME", Latin1Text("1230")}},
         {{"TDRC", {}}, {"TYER", {}}, {"TDAT", {}}, {"TIME", {Latin1Text("1230")}}}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // The no-date marker, or 3 May 2019 with a time of day, which is dropped.
        double date = c.clear ? -657434.0 : kMay3rd2019 + 0.75;
        const Bytes after = CommitFile(Content(c.major, c.frames, "1999"), [&](CTagmill &t) {
            ASSERT_EQ(S_OK, t.PutDate(kDate, date));
            double cached = 0;
            EXPECT_EQ(c.clear ? E_PROPERTY_ABSENT : S_OK, t.GetDate(kDate, cached));
            EXPECT_EQ(c.clear ? 0.0 : kMay3rd2019, cached) << "the cache drops the time of day too";
        });
        const ParsedTag tag = ParseTag(after);
        for (const auto &frame : c.expected) EXPECT_EQ(frame.second, tag.Payloads(frame.first)) << frame.first;
        EXPECT_EQ(c.clear ? "    " : "2019", V1Text(after, 93, 4)) << "the ID3v1 year";
    }
}

// PutYearString refuses what is no four-digit year, and a year that the
// stored month and day do not exist in; it keeps that month and day.
TEST(DateWrite, PutYearStringKeepsStoredMonthAndDay) {
    const FrameList leapDay = {{"TYER", Latin1Text("2016")}, {"TDAT", Latin1Text("2902")}};
    const Bytes after = CommitFile(Content(3, leapDay), [](CTagmill &t) {
        for (const wchar_t *bad : {L"999", L"0999", L"20a0", L"20200", L"+999"})
            EXPECT_EQ(E_INVALIDARG, t.PutYearString(bad)) << Narrow(bad);
        EXPECT_EQ(E_FAIL, t.PutYearString(L"2019")) << "no 29 February in 2019";
        // A date put in this edit does not count: month and day come from the
        // tag as stored.
        double date = kMay3rd2019;
        EXPECT_EQ(S_OK, t.PutDate(kDate, date));
        EXPECT_EQ(S_OK, t.PutYearString(L"2020"));
        EXPECT_EQ(S_OK, t.GetDate(kDate, date));
        EXPECT_EQ(43890.0, date) << "29 February 2020";
    });
    const ParsedTag tag = ParseTag(after);
    EXPECT_EQ(std::vector<Bytes>{Latin1Text("2020", true)}, tag.Payloads("TYER"));
    EXPECT_EQ(std::vector<Bytes>{Latin1Text("2902", true)}, tag.Payloads("TDAT"));
}

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

// Each day of the range converts both ways, with its day of week and of year
// and a time of day that varies from day to day; the day after the last of
// each month is refused. The date is split 0.4 s earlier in the day, which
// must round up to the same second (at midnight, out of the day before).
TEST(XDate, EveryDayAgreesWithCivilArithmetic) {
    long failures = 0;
    int64_t newYear = -657434;
    for (int64_t serial = -657434; serial <= 2958465; ++serial) {
        int y, m, d, nextY, nextM, nextD;
        CivilFromDays(serial + kEpoch, y, m, d);
        CivilFromDays(serial + kEpoch + 1, nextY, nextM, nextD);
        if (m == 1 && d == 1) newYear = serial;
        // 1 January 100 and 31 December 9999 keep midnight: after it the first
        // lies below the range (the fraction counts away from zero), the last
        // above it.
        const bool edge = serial == -657434 || serial == 2958465;
        const int s = edge ? 0 : static_cast<int>((serial * 7919 % 86400 + 86400) % 86400);
        const double expected = double(serial) + (serial < 0 ? -s : s) / 86400.0;
        // Before the epoch the fraction counts away from zero, and midnight
        // has no earlier moment of the same day number.
        const double earlier = edge || (serial <= 0 && s == 0) ? 0 : (serial < 0 ? 0.4 : -0.4) / 86400;
        const int weekday = static_cast<int>(((serial + kEpoch + 4) % 7 + 7) % 7) + 1; // 1 = Sunday
        double date = -1e9, overflow = 0;
        DateParts p{};
        const bool ok = CXDate::PartsToDate(y, m, d, s / 3600, s / 60 % 60, s % 60, date) &&
                        CXDate::DateToParts(date + earlier, p) &&
                        !(nextD == 1 && CXDate::PartsToDate(y, m, d + 1, 0, 0, 0, overflow));
        if (!ok || std::fabs(date - expected) > 1e-6 || p.year != y || p.month != m || p.day != d ||
            p.hour != s / 3600 || p.minute != s / 60 % 60 || p.second != s % 60 || p.dayOfWeek != weekday ||
            p.dayOfYear != serial - newYear + 1) {
            if (++failures <= 5)
                ADD_FAILURE() << "day " << serial << ", second " << s << ": got " << date << ", " << p.year << "-"
                              << p.month << "-" << p.day << " " << p.hour << ":" << p.minute << ":" << p.second;
        }
    }
    EXPECT_EQ(0, failures);
}

} // namespace
