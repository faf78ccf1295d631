// The release date and its year: reading the date frames of each tag version
// (and the ID3v1 year), the frames a put leaves after the commit, deleting,
// moving the year, and another reader's view of what was written.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/commit_support.h"
#include "support/read_support.h"
#include "tagmill/tagmill.h"

using namespace testsupport;
using namespace tagmill;

namespace {

constexpr long kDate = 5120;
constexpr double kNoDate = -657434.0;
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

// Writes the content to a file, opens it for reading and writing, applies
// put, closes, and returns the file.
template <typename Put>
Bytes Commit(const Bytes &content, Put put) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, content);
    CTagmill t;
    EXPECT_EQ(S_OK, t.Open(Widen(path), 2));
    put(t);
    EXPECT_EQ(S_OK, t.Close());
    return ReadFile(path);
}

TEST(DateRead, CachesDateAndYearFromTheFrames) {
    const struct {
        const char *name;
        int major;
        FrameList frames;
        const char *v1Year;
        long hr; // of GetDate
        double date;
        std::wstring year; // empty: GetYearString reports the property absent
    } cases[] = {
        {"month then day, swapped", 3, {{"TYER", Latin1Text("2019")}, {"TDAT", Latin1Text("1231")}}, nullptr, S_OK,
         43830.0, L"2019"},
        {"day then month, December", 3, {{"TYER", Latin1Text("2019")}, {"TDAT", Latin1Text("3112")}}, nullptr, S_OK,
         43830.0, L"2019"},
        {"year frame text kept whole", 3, {{"TYER", Utf16Text(L"2019 CE")}}, nullptr, S_OK, 43466.0, L"2019 CE"},
        {"three-digit year is no date", 3, {{"TYER", Latin1Text("999")}}, "1987", E_PROPERTY_ABSENT, 0, L""},
        {"recording time wins over year", 3, {{"TYER", Latin1Text("2019")}, {"TDRC", Latin1Text("2018-07-01")}},
         nullptr, S_OK, 43282.0, L""},
        {"recording time drops the time", 4, {{"TDRC", Latin1Text("2019-05-03T12:30:00")}}, nullptr, S_OK,
         kMay3rd2019, L""},
        {"recording time year and month", 4, {{"TDRC", Latin1Text("2019-05")}}, nullptr, S_OK, 43586.0, L""},
        {"recording time unseparated", 4, {{"TDRC", Latin1Text("20190503")}}, nullptr, S_OK, 43466.0, L""},
        {"recording time bad month", 4, {{"TDRC", Latin1Text("2019-13-01")}}, nullptr, E_PROPERTY_ABSENT, 0, L""},
        // The year string is taken before the bad date frame fails the read.
        {"bad date frame", 3, {{"TYER", Latin1Text("2019")}, {"TDAT", Latin1Text("9999")}}, nullptr,
         E_PROPERTY_ABSENT, 0, L"2019"},
        {"ID3v2.2 frames, day then month", 2, {{"TYE", Latin1Text("2019")}, {"TDA", Latin1Text("0305")}}, nullptr, S_OK,
         kMay3rd2019, L"2019"},
        {"ID3v1 year", 3, {}, "1987", S_OK, 31778.0, L""},
        {"ID3v1 year zero", 3, {}, "0000", E_PROPERTY_ABSENT, 0, L""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CTagmill t;
        ASSERT_EQ(S_OK, OpenBytes(t, Content(c.major, c.frames, c.v1Year)));
        double date = 12.0;
        EXPECT_EQ(c.hr, t.GetDate(kDate, date));
        EXPECT_EQ(c.hr == S_OK ? c.date : 12.0, date);
        std::wstring year = L"untouched";
        EXPECT_EQ(c.year.empty() ? E_PROPERTY_ABSENT : S_OK, t.GetYearString(year));
        EXPECT_EQ(c.year.empty() ? L"untouched" : c.year, year);
    }
}

// Which frames PutDate writes depends on the version and on the date frames
// the tag held before; the no-date marker removes them all (but not the time).
TEST(DateWrite, ChoosesFramesByVersionAndPresence) {
    const Bytes y2019 = NarrowPayload("2019"), d0305 = NarrowPayload("0305"), recorded = NarrowPayload("2019-05-03");
    const struct {
        const char *name;
        int major;
        FrameList frames;
        // Payloads of each date frame after the commit, in tag order.
        std::vector<std::pair<std::string, std::vector<Bytes>>> expected;
        bool clear = false; // put the no-date marker instead of 3 May 2019
    } cases[] = {
        {"2.4 without date frames", 4, {}, {{"TDRC", {recorded}}, {"TYER", {y2019}}, {"TDAT", {}}}},
        {"2.4 keeps separate frames", 4, {{"TYER", Latin1Text("2000")}, {"TDAT", Latin1Text("0101")}},
         {{"TDRC", {}}, {"TYER", {y2019}}, {"TDAT", {d0305}}}},
        {"2.4 recording time and date", 4, {{"TDRC", Latin1Text("2000")}, {"TDAT", Latin1Text("0101")}},
         {{"TDRC", {recorded}}, {"TYER", {y2019}}, {"TDAT", {d0305}}}},
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
        double date = c.clear ? kNoDate : kMay3rd2019 + 0.75; // the time of day is dropped
        const Bytes after = Commit(Content(c.major, c.frames, "1999"), [&](CTagmill &t) {
            ASSERT_EQ(S_OK, t.PutDate(kDate, date));
            double cached = 0;
            std::wstring year;
            EXPECT_EQ(c.clear ? E_PROPERTY_ABSENT : S_OK, t.GetDate(kDate, cached));
            EXPECT_EQ(c.clear ? E_PROPERTY_ABSENT : S_OK, t.GetYearString(year));
            if (!c.clear) {
                EXPECT_EQ(kMay3rd2019, cached);
                EXPECT_EQ(L"2019", year);
            }
        });
        const ParsedTag tag = ParseTag(after);
        for (const auto &frame : c.expected) EXPECT_EQ(frame.second, tag.Payloads(frame.first)) << frame.first;
        EXPECT_EQ(c.clear ? "    " : "2019", V1Text(after, 93, 4)) << "the ID3v1 year";
    }
}

TEST(DateWrite, RefusesDatesItCannotWriteAndClosedObjects) {
    const Bytes after = Commit(Content(3, {{"TYER", Latin1Text("2019")}}), [](CTagmill &t) {
        for (double bad : {2958465.5, -328717.0 /* 31 December 999 */}) {
            EXPECT_EQ(E_FAIL, t.PutDate(kDate, bad)) << bad;
        }
        double date = kMay3rd2019;
        EXPECT_EQ(E_PROPERTY_UNSUPPORTED, t.PutDate(4615, date));
        EXPECT_EQ(E_PROPERTY_UNSUPPORTED, t.GetDate(5121, date));
    });
    EXPECT_EQ(std::vector<Bytes>{Latin1Text("2019")}, ParseTag(after).Payloads("TYER"));

    CTagmill closed;
    double date = kMay3rd2019;
    std::wstring year;
    EXPECT_EQ(E_UNEXPECTED, closed.GetDate(kDate, date));
    EXPECT_EQ(E_UNEXPECTED, closed.GetYearString(year));
    EXPECT_EQ(E_UNEXPECTED, closed.PutDate(kDate, date));
    EXPECT_EQ(E_UNEXPECTED, closed.PutYearString(L"2019"));
}

TEST(DateWrite, PutYearStringKeepsStoredMonthAndDay) {
    const FrameList leapDay = {{"TYER", Latin1Text("2016")}, {"TDAT", Latin1Text("2902")}};
    const Bytes after = Commit(Content(3, leapDay), [](CTagmill &t) {
        for (const wchar_t *bad : {L"999", L"0999", L"20a0", L"20200", L"+999"})
            EXPECT_EQ(E_INVALIDARG, t.PutYearString(bad)) << Narrow(bad);
        EXPECT_EQ(E_FAIL, t.PutYearString(L"2019")) << "no 29 February in 2019";
        // A date put in this edit does not count: month and day come from the
        // tag as stored.
        double may = kMay3rd2019;
        EXPECT_EQ(S_OK, t.PutDate(kDate, may));
        EXPECT_EQ(S_OK, t.PutYearString(L"2020"));
        double date = 0;
        EXPECT_EQ(S_OK, t.GetDate(kDate, date));
        EXPECT_EQ(43890.0, date);
    });
    const ParsedTag tag = ParseTag(after);
    EXPECT_EQ(std::vector<Bytes>{NarrowPayload("2020")}, tag.Payloads("TYER"));
    EXPECT_EQ(std::vector<Bytes>{NarrowPayload("2902")}, tag.Payloads("TDAT"));
}

// Another reader must see 3 May 2019 in what PutDate wrote: in a 2.3 tag as
// "TYER" and a day-then-month "TDAT", in a 2.4 tag as "TDRC".
TEST(DatePeerRead, MutagenReadsTheWrittenDate) {
    if (std::system("/usr/bin/python3 -c 'import mutagen.id3' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 with mutagen (python3-mutagen) is not installed";
    const struct {
        int major;
        const char *expected;
    } peers[] = {{3, "TDRC=<missing>\nTYER=2019\nTDAT=0305\nmerged=2019-05-03\n"},
                 {4, "TDRC=2019-05-03\nTYER=2019\nTDAT=<missing>\nmerged=2019-05-03\n"}};
    for (const auto &peer : peers) {
        TempDir dir;
        const std::string path = dir.file("peer.mp3"), out = dir.file("out.txt");
        WriteFile(path, Commit(Content(peer.major, {{"TIT2", Latin1Text("x")}}), [](CTagmill &t) {
                      double date = kMay3rd2019;
                      ASSERT_EQ(S_OK, t.PutDate(kDate, date));
                  }));
        const std::string command = std::string("/usr/bin/python3 ") + TAGMILL_SOURCE_DIR +
                                    "/tests/tag_access/peers/read_id3_dates.py '" + path + "' >'" + out + "' 2>&1";
        const int status = std::system(command.c_str());
        const Bytes printed = ReadFile(out);
        EXPECT_EQ(0, status) << std::string(printed.begin(), printed.end());
        EXPECT_EQ(peer.expected, std::string(printed.begin(), printed.end())) << "ID3v2." << peer.major;
    }
}

} // namespace
