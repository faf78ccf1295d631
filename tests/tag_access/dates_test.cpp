// The release date and its year: reading the date frames of each tag version
// (and the ID3v1 year), the frames a put leaves after the commit, deleting,
// moving the year, and another reader's view of what was written.
#include <gtest/gtest.h>

#include <cstdio>

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

struct ReadCase {
    const char *name;
    int major;
    FrameList frames;
    const char *v1Year;
    long hr; // of GetDate
    double date;
    std::wstring year; // empty: GetYearString reports the property absent
};

void PrintTo(const ReadCase &c, std::ostream *os) { *os << c.name; }

class DateRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(DateRead, CachesDateAndYear) {
    const ReadCase &c = GetParam();
    CTagmill t;
    ASSERT_EQ(S_OK, OpenBytes(t, Content(c.major, c.frames, c.v1Year)));
    double date = 12.0;
    EXPECT_EQ(c.hr, t.GetDate(kDate, date));
    EXPECT_EQ(c.hr == S_OK ? c.date : 12.0, date);
    std::wstring year = L"untouched";
    EXPECT_EQ(c.year.empty() ? E_PROPERTY_ABSENT : S_OK, t.GetYearString(year));
    EXPECT_EQ(c.year.empty() ? L"untouched" : c.year, year);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, DateRead,
    ::testing::Values(
        ReadCase{"DayThenMonth", 3, {{"TYER", Latin1Text("2019")}, {"TDAT", Latin1Text("0305")}}, nullptr, S_OK,
                 kMay3rd2019, L"2019"},
        ReadCase{"MonthThenDaySwapped", 3, {{"TYER", Latin1Text("2019")}, {"TDAT", Latin1Text("1231")}}, nullptr,
                 S_OK, 43830.0, L"2019"},
        ReadCase{"DayThenMonthDecember", 3, {{"TYER", Latin1Text("2019")}, {"TDAT", Latin1Text("3112")}}, nullptr,
                 S_OK, 43830.0, L"2019"},
        ReadCase{"YearFrameTextKeptWhole", 3, {{"TYER", Utf16Text(L"2019 CE")}}, nullptr, S_OK, 43466.0, L"2019 CE"},
        ReadCase{"ThreeDigitYearIsNoDate", 3, {{"TYER", Latin1Text("999")}}, "1987", E_PROPERTY_ABSENT, 0, L""},
        ReadCase{"RecordingTimeWinsOverYear", 3,
                 {{"TYER", Latin1Text("2019")}, {"TDRC", Latin1Text("2018-07-01")}}, nullptr, S_OK, 43282.0, L""},
        ReadCase{"RecordingTimeDropsTime", 4, {{"TDRC", Latin1Text("2019-05-03T12:30:00")}}, nullptr, S_OK,
                 kMay3rd2019, L""},
        ReadCase{"RecordingTimeYearMonth", 4, {{"TDRC", Latin1Text("2019-05")}}, nullptr, S_OK, 43586.0, L""},
        ReadCase{"RecordingTimeUnseparated", 4, {{"TDRC", Latin1Text("20190503")}}, nullptr, S_OK, 43466.0, L""},
        ReadCase{"RecordingTimeNotANumber", 4, {{"TDRC", Latin1Text("abcd")}}, nullptr, E_PROPERTY_ABSENT, 0, L""},
        ReadCase{"RecordingTimeBadMonth", 4, {{"TDRC", Latin1Text("2019-13-01")}}, nullptr, E_PROPERTY_ABSENT, 0,
                 L""},
        // The year string is taken before the bad date frame fails the read.
        ReadCase{"BadDateFrame", 3, {{"TYER", Latin1Text("2019")}, {"TDAT", Latin1Text("9999")}}, nullptr,
                 E_PROPERTY_ABSENT, 0, L"2019"},
        ReadCase{"Version22Frames", 2, {{"TYE", Latin1Text("2019")}, {"TDA", Latin1Text("0305")}}, nullptr, S_OK,
                 kMay3rd2019, L"2019"},
        ReadCase{"Id3v1Year", 3, {}, "1987", S_OK, 31778.0, L""},
        ReadCase{"Id3v1YearZero", 3, {}, "0000", E_PROPERTY_ABSENT, 0, L""},
        ReadCase{"NoDateAnywhere", 4, {}, nullptr, E_PROPERTY_ABSENT, 0, L""}),
    [](const ::testing::TestParamInfo<ReadCase> &info) { return std::string(info.param.name); });

struct WriteCase {
    const char *name;
    int major;
    FrameList frames;
    // Payloads of each date frame after the commit, in tag order.
    std::vector<std::pair<std::string, std::vector<Bytes>>> expected;
};

void PrintTo(const WriteCase &c, std::ostream *os) { *os << c.name; }

class DateWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(DateWrite, ChoosesFramesByVersionAndPresence) {
    const WriteCase &c = GetParam();
    double date = kMay3rd2019 + 0.75; // the time of day is dropped
    const Bytes after = Commit(Content(c.major, c.frames, "1999"), [&](CTagmill &t) {
        ASSERT_EQ(S_OK, t.PutDate(kDate, date));
        double cached = 0;
        EXPECT_EQ(S_OK, t.GetDate(kDate, cached));
        EXPECT_EQ(kMay3rd2019, cached);
        std::wstring year;
        EXPECT_EQ(S_OK, t.GetYearString(year));
        EXPECT_EQ(L"2019", year);
    });
    const ParsedTag tag = ParseTag(after);
    for (const auto &frame : c.expected) EXPECT_EQ(frame.second, tag.Payloads(frame.first)) << frame.first;
    EXPECT_EQ("2019", V1Text(after, 93, 4));
}

const Bytes k2019 = NarrowPayload("2019");
const Bytes k0305 = NarrowPayload("0305");
const Bytes kRecorded = NarrowPayload("2019-05-03");

INSTANTIATE_TEST_SUITE_P(
    Layouts, DateWrite,
    ::testing::Values(
        WriteCase{"V24WithoutDateFrames", 4, {}, {{"TDRC", {kRecorded}}, {"TYER", {k2019}}, {"TDAT", {}}}},
        WriteCase{"V24KeepsSeparateFrames", 4,
                  {{"TYER", Latin1Text("2000")}, {"TDAT", Latin1Text("0101")}},
                  {{"TDRC", {}}, {"TYER", {k2019}}, {"TDAT", {k0305}}}},
        WriteCase{"V24RecordingTimeAndDate", 4,
                  {{"TDRC", Latin1Text("2000")}, {"TDAT", Latin1Text("0101")}},
                  {{"TDRC", {kRecorded}}, {"TYER", {k2019}}, {"TDAT", {k0305}}}},
        WriteCase{"V23WithoutRecordingTime", 3, {}, {{"TDRC", {}}, {"TYER", {k2019}}, {"TDAT", {k0305}}}},
        WriteCase{"V23KeepsRecordingTime", 3,
                  {{"TDRC", Latin1Text("2000")}, {"TDRC", Latin1Text("2001")}},
                  {{"TDRC", {kRecorded}}, {"TYER", {k2019}}, {"TDAT", {}}}},
        WriteCase{"V22", 2, {{"TYE", Latin1Text("2000")}}, {{"TYE", {k2019}}, {"TDA", {k0305}}}}),
    [](const ::testing::TestParamInfo<WriteCase> &info) { return std::string(info.param.name); });

TEST(DateWrite, NoDateMarkerDeletesEverythingButTheTime) {
    const FrameList frames = {{"TDRC", Latin1Text("2018")}, {"TYER", Latin1Text("2019")},
                              {"TDAT", Latin1Text("0305")}, {"TIME", Latin1Text("1230")}};
    const Bytes after = Commit(Content(3, frames, "2019"), [](CTagmill &t) {
        double none = kNoDate;
        EXPECT_EQ(S_OK, t.PutDate(kDate, none));
        double date = 0;
        std::wstring year;
        EXPECT_EQ(E_PROPERTY_ABSENT, t.GetDate(kDate, date));
        EXPECT_EQ(E_PROPERTY_ABSENT, t.GetYearString(year));
    });
    const ParsedTag tag = ParseTag(after);
    for (const char *id : {"TDRC", "TYER", "TDAT"}) EXPECT_TRUE(tag.Payloads(id).empty()) << id;
    EXPECT_EQ(std::vector<Bytes>{Latin1Text("1230")}, tag.Payloads("TIME"));
    EXPECT_EQ("    ", V1Text(after, 93, 4)) << "the ID3v1 year is cleared";

    const Bytes v22 = Commit(Content(2, {{"TYE", Latin1Text("2019")}, {"TIM", Latin1Text("1230")}}),
                             [](CTagmill &t) { double none = kNoDate; EXPECT_EQ(S_OK, t.PutDate(kDate, none)); });
    EXPECT_TRUE(ParseTag(v22).Payloads("TYE").empty());
    EXPECT_EQ(1u, ParseTag(v22).Payloads("TIM").size());
}

TEST(DateWrite, RefusesDatesItCannotWrite) {
    const FrameList frames = {{"TYER", Latin1Text("2019")}};
    const Bytes after = Commit(Content(3, frames), [](CTagmill &t) {
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
    EXPECT_EQ(E_UNEXPECTED, closed.PutDate(kDate, date));
    EXPECT_EQ(E_UNEXPECTED, closed.GetYearString(year));
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

std::string RunCommand(const std::string &command, int *status) {
    std::string out;
    FILE *p = popen(command.c_str(), "r");
    if (!p) {
        *status = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    *status = pclose(p);
    return out;
}

TEST(DatePeerRead, MutagenReadsTheWrittenDate) {
    std::string python;
    for (const char *candidate : {"/usr/bin/python3", "python3"}) {
        int status = 0;
        RunCommand(std::string(candidate) + " -c 'import mutagen.id3' >/dev/null 2>&1", &status);
        if (status == 0) {
            python = candidate;
            break;
        }
    }
    if (python.empty()) GTEST_SKIP() << "python3 with mutagen (python3-mutagen) is not installed";

    struct Peer {
        int major;
        const char *expected;
    };
    for (const Peer &peer : {Peer{3, "TDRC=<missing>\nTYER=2019\nTDAT=0305\nmerged=2019-05-03\n"},
                             Peer{4, "TDRC=2019-05-03\nTYER=2019\nTDAT=<missing>\nmerged=2019-05-03\n"}}) {
        TempDir dir;
        const std::string path = dir.file("peer.mp3");
        WriteFile(path, Content(peer.major, {{"TIT2", Latin1Text("x")}}));
        CTagmill t;
        ASSERT_EQ(S_OK, t.Open(Widen(path), 2));
        double date = kMay3rd2019;
        ASSERT_EQ(S_OK, t.PutDate(kDate, date));
        ASSERT_EQ(S_OK, t.Close());
        int status = 0;
        const std::string out = RunCommand(python + " " + TAGMILL_SOURCE_DIR +
                                               "/tests/tag_access/peers/read_id3_dates.py '" + path + "' 2>&1",
                                           &status);
        ASSERT_EQ(0, status) << out;
        EXPECT_EQ(peer.expected, out) << "ID3v2." << peer.major;
    }
}

} // namespace
