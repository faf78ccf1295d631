// String reads: the ID3v1 fall-back and when it is not taken, repeated frames,
// refusals, and the re-write of the core properties by an open for writing.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/read_support.h"

using namespace testsupport;
using namespace tagmill;

namespace {

using Strings = std::vector<std::wstring>;

struct FallbackCase {
    const char *name;
    FrameList frames; // ID3v2.3 frames
    Bytes v1;
    long id;
    long hr;
    Strings expected;
};

class Id3v1Fallback : public ::testing::TestWithParam<FallbackCase> {};

TEST_P(Id3v1Fallback, ReadsAsExpected) {
    const FallbackCase &c = GetParam();
    CTagmill tag;
    ASSERT_EQ(OpenBytes(tag, Concat({TagV2(3, c.frames), FakeAudio(1), c.v1})), S_OK);
    long hr = 0;
    Strings values = Values(tag, c.id, &hr);
    EXPECT_EQ(hr, c.hr);
    EXPECT_EQ(values, c.expected);
}

const FrameList kNoFrames;

INSTANTIATE_TEST_SUITE_P(
    Cases, Id3v1Fallback,
    ::testing::Values(
        FallbackCase{"Title", kNoFrames, TagV1("Foo"), 4615, S_OK, {L"Foo"}},
        FallbackCase{"ArtistAlbum", kNoFrames, TagV1("", "Art", "Alb" + std::string(27, ' ')), 4620, S_OK, {L"Alb"}},
        FallbackCase{"Artist", kNoFrames, TagV1("", "Art\xE9"), 4624, S_OK, {L"Art\u00E9"}},
        FallbackCase{"GenreNumber", kNoFrames, TagV1("", "", "", 17), 4616, S_OK, {L"(17)"}},
        FallbackCase{"Genre148IsNone", kNoFrames, TagV1("", "", "", 148), 4616, E_PROPERTY_ABSENT, {}},
        FallbackCase{"TrackByteZero", kNoFrames, TagV1("", "", "", 255, 0), 4357, S_OK, {L"0"}},
        FallbackCase{"TrackByte", kNoFrames, TagV1("", "", "", 255, 7), 4357, S_OK, {L"7"}},
        FallbackCase{"SecondTrackIdHasNone", kNoFrames, TagV1("", "", "", 255, 7), 4397, E_PROPERTY_ABSENT, {}},
        FallbackCase{"Id3v10HasNoTrack", kNoFrames, TagV1("Foo"), 4357, E_PROPERTY_ABSENT, {}},
        FallbackCase{"EmptyFrameHidesId3v1", {{"TIT2", {1, 0xFF, 0xFE, 0, 0}}}, TagV1("Foo"), 4615,
                     E_PROPERTY_ABSENT, {}},
        FallbackCase{"FrameWins", {{"TIT2", Latin1Text("Bar")}}, TagV1("Foo"), 4615, S_OK, {L"Bar"}},
        FallbackCase{"NoId3v1", kNoFrames, {}, 4615, E_PROPERTY_ABSENT, {}},
        FallbackCase{"SharedTrackFrameSecondId", {{"TRCK", Latin1Text("3/12")}}, {}, 4397, S_OK, {L"3/12"}},
        FallbackCase{"TwoArtistFramesFirstOnly", {{"TPE1", Latin1Text("A")}, {"TPE1", Latin1Text("B")}}, {},
                     4624, S_OK, {L"A"}},
        FallbackCase{"TwoUrlFramesBoth", {{"WOAR", Ascii("http://a")}, {"TIT2", Latin1Text("t")},
                                          {"WOAR", Ascii("http://b\xE9")}}, {}, 4646, S_OK,
                     {L"http://a", L"http://b\u00E9"}},
        FallbackCase{"UserDefinedNotAString", {{"TXXX", Concat({Latin1Text("GN_ExtData"), Bytes{0, 'x'}})}},
                     {}, 4717, E_PROPERTY_ABSENT, {}}),
    [](const ::testing::TestParamInfo<FallbackCase> &info) { return std::string(info.param.name); });

TEST(GetString, RefusalsLeaveTheCallersListAlone) {
    CTagmill tag;
    Strings values{L"keep"};
    EXPECT_EQ(tag.GetString(4615, values), E_UNEXPECTED);
    ASSERT_EQ(OpenBytes(tag, TagV2(3, {{"TIT2", Latin1Text("T")}})), S_OK);
    for (long id : {4640L, 5891L, 5894L, 5120L, 8960L, 290L}) EXPECT_EQ(tag.GetString(id, values), E_PROPERTY_UNSUPPORTED);
    EXPECT_EQ(tag.GetString(4624, values), E_PROPERTY_ABSENT);
    EXPECT_EQ(values, Strings{L"keep"});
    EXPECT_EQ(tag.GetString(4615, values), S_OK);
    EXPECT_EQ(values, Strings{L"T"});
    EXPECT_EQ(tag.Close(), S_OK);
    EXPECT_EQ(tag.GetString(4615, values), E_UNEXPECTED);
}

bool Contains(const Bytes &haystack, const Bytes &needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

// Mode 2 writes title, track, genre, album and artist back at once, in the
// library's own encodings; values found only in the ID3v1 tag reach the ID3v2
// tag, and further values of a frame are dropped.
TEST(OpenForWriting, RewritesTheCorePropertiesOnClose) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, Concat({TagV2(4, {{"TPE1", Concat({Bytes{3}, Ascii("X"), Bytes{0}, Ascii("Y")})},
                                      {"TCOP", Concat({Bytes{3}, Ascii("C"), Bytes{0}})}}),
                            FakeAudio(2), TagV1("Foo", "", "", 148)}));
    CTagmill tag;
    ASSERT_EQ(tag.Open(Widen(path), 2), S_OK);
    EXPECT_EQ(Values(tag, 4615), Strings{L"Foo"});
    ASSERT_EQ(tag.Close(), S_OK);

    const Bytes after = ReadFile(path);
    EXPECT_TRUE(Contains(after, Concat({Ascii("TIT2"), Syncsafe(11), Bytes{0, 0}, Utf16Text(L"Foo"), Bytes{0, 0}})));
    EXPECT_TRUE(Contains(after, Concat({Ascii("TPE1"), Syncsafe(7), Bytes{0, 0}, Utf16Text(L"X"), Bytes{0, 0}})));
    // Not one of the five: kept as it was.
    EXPECT_TRUE(Contains(after, Concat({Ascii("TCOP"), Syncsafe(3), Bytes{0, 0, 3, 'C', 0}})));
    ASSERT_EQ(tag.Open(Widen(path), 1), S_OK);
    EXPECT_EQ(Values(tag, 4624), Strings{L"X"});
    EXPECT_EQ(Values(tag, 4617), Strings{L"C"});
}

} // namespace
