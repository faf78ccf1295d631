// String reads: the ID3v1 fall-back and when it is not taken, repeated frames,
// refusals, and the re-write of the core properties by an open for writing.
#include <gtest/gtest.h>

#include "support/commit_support.h"
#include "support/read_support.h"

using namespace testsupport;
using namespace tagmill;

namespace {

using Strings = std::vector<std::wstring>;

TEST(GetString, Id3v2FramesAndTheId3v1Fallback) {
    const FrameList none;
    const struct {
        const char *name;
        FrameList frames; // ID3v2.3 frames
        Bytes v1;
        long id;
        long hr;
        Strings expected;
    } cases[] = {
        {"title", none, TagV1("Foo"), 4615, S_OK, {L"Foo"}},
        {"album without its padding", none, TagV1("", "Art", "Alb" + std::string(27, ' ')), 4620, S_OK, {L"Alb"}},
        {"artist in Latin-1", none, TagV1("", "Art\xE9"), 4624, S_OK, {L"Art\u00E9"}},
        {"genre number", none, TagV1("", "", "", 17), 4616, S_OK, {L"(17)"}},
        {"genre 148 is none", none, TagV1("", "", "", 148), 4616, E_PROPERTY_ABSENT, {}},
        {"track byte 0", none, TagV1("", "", "", 255, 0), 4357, S_OK, {L"0"}},
        {"second track id has no fallback", none, TagV1("", "", "", 255, 7), 4397, E_PROPERTY_ABSENT, {}},
        {"ID3v1.0 has no track", none, TagV1("Foo"), 4357, E_PROPERTY_ABSENT, {}},
        {"empty frame hides ID3v1", {{"TIT2", {1, 0xFF, 0xFE, 0, 0}}}, TagV1("Foo"), 4615, E_PROPERTY_ABSENT, {}},
        {"frame wins", {{"TIT2", Latin1Text("Bar")}}, TagV1("Foo"), 4615, S_OK, {L"Bar"}},
        {"shared track frame, second id", {{"TRCK", Latin1Text("3/12")}}, {}, 4397, S_OK, {L"3/12"}},
        {"two artist frames: first only", {{"TPE1", Latin1Text("A")}, {"TPE1", Latin1Text("B")}}, {}, 4624, S_OK,
         {L"A"}},
        {"two URL frames: both",
         {{"WOAR", Ascii("http://a")}, {"TIT2", Latin1Text("t")}, {"WOAR", Ascii("http://b\xE9")}}, {}, 4646, S_OK,
         {L"http://a", L"http://b\u00E9"}},
        {"user-defined frame is not a string",
         {{"TXXX", Concat({Latin1Text("GN_ExtData"), Bytes{0, 'x'}})}}, {}, 4717, E_PROPERTY_ABSENT, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CTagmill tag;
        ASSERT_EQ(OpenBytes(tag, Concat({TagV2(3, c.frames), FakeAudio(1), c.v1})), S_OK);
        long hr = 0;
        const Strings values = Values(tag, c.id, &hr);
        EXPECT_EQ(hr, c.hr);
        EXPECT_EQ(values, c.expected);
    }
}

// Refused reads leave the caller's list alone; a refused put begins no edit,
// so with nothing staged the commit has nothing to do.
TEST(StringRefusals, LeaveTheListAloneAndBeginNoEdit) {
    CTagmill tag;
    Strings values{L"keep"};
    EXPECT_EQ(tag.GetString(4615, values), E_UNEXPECTED);
    EXPECT_EQ(tag.PutString(4615, {L"x"}), E_UNEXPECTED);
    ASSERT_EQ(OpenBytes(tag, TagV2(3, {{"TIT2", Latin1Text("T")}})), S_OK);
    for (long id : {4640L, 5891L, 5894L, 5120L, 8960L, 290L}) {
        EXPECT_EQ(tag.GetString(id, values), E_PROPERTY_UNSUPPORTED) << id;
        EXPECT_EQ(tag.PutString(id, {L"x"}), E_PROPERTY_UNSUPPORTED) << id;
    }
    EXPECT_EQ(tag.UpdateOnMemory(), E_FAIL);
    EXPECT_EQ(tag.GetString(4624, values), E_PROPERTY_ABSENT);
    EXPECT_EQ(values, Strings{L"keep"});
    EXPECT_EQ(tag.GetString(4615, values), S_OK);
    EXPECT_EQ(values, Strings{L"T"});
    EXPECT_EQ(tag.Close(), S_OK);
    EXPECT_EQ(tag.GetString(4615, values), E_UNEXPECTED);
}

// Mode 2 writes title, track, genre, album and artist back at once, in the
// library's own encodings and in that order (the commit moves the title last):
// values found only in the ID3v1 tag reach the ID3v2 tag, further values of a
// frame are dropped, and frames of other properties stay as they were.
TEST(OpenForWriting, RewritesTheCorePropertiesOnClose) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    const Bytes tcop = Concat({Bytes{3}, Ascii("C"), Bytes{0}});
    WriteFile(path, Concat({TagV2(4, {{"TPE1", Concat({Bytes{3}, Ascii("X"), Bytes{0}, Ascii("Y")})}, {"TCOP", tcop}}),
                            FakeAudio(2), TagV1("Foo", "", "", 17, 9)}));
    CTagmill tag;
    ASSERT_EQ(tag.Open(Widen(path), 2), S_OK);
    EXPECT_EQ(Values(tag, 4615), Strings{L"Foo"});
    ASSERT_EQ(tag.Close(), S_OK);

    const FrameList expected = {
        {"TCOP", tcop},
        {"TRCK", NarrowPayload("9")},
        {"TCON", NarrowPayload("(17)")},
        {"TPE1", UnicodePayload(L"X")},
        {"TIT2", UnicodePayload(L"Foo")},
    };
    FrameList frames;
    for (const ParsedFrame &f : ParseTag(ReadFile(path)).frames) frames.emplace_back(f.id, f.data);
    EXPECT_EQ(frames, expected);
}

} // namespace
