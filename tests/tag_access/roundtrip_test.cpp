// Round trips through Close: every string property is put into files with a
// tag of each version, without a tag, and newly created, committed and read
// back after reopening. Each property's frame ID and payload are checked
// against an independent table; the byte layout of the rewrite itself
// (padding, footers, AIFF chunks, memory images) is tested with the engine.
#include <gtest/gtest.h>


#include "support/commit_support.h"
#include "tagmill/tagmill.h"

using namespace testsupport;
using namespace tagmill;

namespace {

enum class Kind { Tagged, Untagged, Created };
struct Property {
    long id;
    const char *v22;
    const char *v23;
};

// Every string property that lives in the string cache, with its frames in
// ID3v2.2 and in ID3v2.3/2.4; the pairs 4357/4397 and 288/289 share a frame.
const Property kProperties[] = {
    {4615, "TT2", "TIT2"}, {4357, "TRK", "TRCK"}, {4397, "TRK", "TRCK"}, {4610, "TRC", "TSRC"},
    {4616, "TCO", "TCON"}, {4617, "TCR", "TCOP"}, {4620, "TAL", "TALB"}, {4624, "TP1", "TPE1"},
    {4646, "WAR", "WOAR"}, {4627, "TCM", "TCOM"}, {8450, "TEN", "TENC"}, {288, "TPA", "TPOS"},
    {289, "TPA", "TPOS"},  {528, "TP2", "TPE2"},  {5639, "TST", "TSOT"}, {5644, "TSA", "TSOA"},
    {5648, "TSP", "TSOP"}, {593, "TS2", "TSO2"},  {5651, "TSC", "TSOC"},
};

bool IsUrl(long id) { return id == 4646; }
bool IsNarrow(long id) { return id == 4357 || id == 4397 || id == 288 || id == 289; }

// What is put: numbers for the narrow properties (the same for both
// identifiers of a shared frame), two addresses for the URL, and otherwise
// text naming the property with characters beyond ISO-8859-1 and above
// U+FFFF (a surrogate pair).
std::vector<std::wstring> ValuesOf(long id) {
    if (IsUrl(id)) return {L"http://a.example/", L"http://b.example/x"};
    if (IsNarrow(id)) return {L"3/12"};
    return {L"Property " + std::to_wstring(id) + L" \u00e9\u4e2d \U0001F3B5"};
}

// The frame a property's value is written to: UTF-16 with a byte-order mark,
// narrow text, or a bare URL (the last value's frame).
ParsedFrame WrittenFrame(const Property &p, uint8_t major) {
    const std::string id = major == 2 ? p.v22 : p.v23;
    const std::vector<std::wstring> values = ValuesOf(p.id);
    if (IsUrl(p.id)) return {id, Latin1(values.back())};
    if (IsNarrow(p.id)) return {id, Concat({Bytes{0}, Latin1(values[0]), Bytes{0}})};
    return {id, UnicodePayload(values[0])};
}

struct Layout {
    const char *name;
    Kind kind;
    uint8_t major;
};

Bytes FrameOf(uint8_t major, const std::string &id, const Bytes &data) {
    return major == 2 ? Frame22(id, data) : major == 4 ? Frame24(id, data) : Frame23(id, data);
}

// The original tag: a title, a track and a set number (loaded, so replaced
// by the puts), and a BPM frame that no property names (it must survive).
Bytes OriginalTag(const Layout &l) {
    const bool v22 = l.major == 2;
    Bytes frames = Concat({FrameOf(l.major, v22 ? "TT2" : "TIT2", NarrowPayload("Old title")),
                           FrameOf(l.major, v22 ? "TBP" : "TBPM", NarrowPayload("120")),
                           FrameOf(l.major, v22 ? "TRK" : "TRCK", NarrowPayload("1")),
                           FrameOf(l.major, v22 ? "TPA" : "TPOS", NarrowPayload("1/1"))});
    return Concat({Id3Header(l.major, 0, 0, static_cast<uint32_t>(frames.size() + 20)), frames, Bytes(20, 0)});
}

void PrintTo(const Layout &c, std::ostream *os) { *os << c.name; }

class RoundTrip : public ::testing::TestWithParam<Layout> {};

TEST_P(RoundTrip, EveryStringPropertySurvivesCommitAndReopen) {
    const Layout l = GetParam();
    TempDir dir;
    const std::string path = dir.file("song.mp3");
    const Bytes audio = FakeAudio(3);
    if (l.kind != Kind::Created) {
        // A trailing ID3v1 tag must not disturb the rewrite.
        const Bytes tag = l.kind == Kind::Tagged ? OriginalTag(l) : Bytes();
        WriteFile(path, Concat({tag, audio, V1Tag("Old v1 title", 17, 9)}));
    }
    {
        CTagmill t;
        ASSERT_EQ(S_OK, t.Open(Widen(path), l.kind == Kind::Created ? 3 : 2));
        for (const Property &p : kProperties) ASSERT_EQ(S_OK, t.PutString(p.id, ValuesOf(p.id))) << p.id;
        ASSERT_EQ(S_OK, t.Close());
    }

    // Each property's frame holds its first value in the encoding chosen for
    // it; the frame no property names survives, and the commit's title comes
    // last.
    const Bytes after = ReadFile(path);
    const ParsedTag written = ParseTag(after);
    ASSERT_TRUE(written.found);
    EXPECT_EQ(l.major, written.major);
    for (const Property &p : kProperties) {
        const ParsedFrame frame = WrittenFrame(p, written.major);
        const std::vector<Bytes> payloads = written.Payloads(frame.id);
        ASSERT_FALSE(payloads.empty()) << p.id;
        EXPECT_EQ(frame.data, payloads.back()) << p.id;
    }
    EXPECT_EQ(l.kind == Kind::Tagged ? 1u : 0u, written.Payloads(l.major == 2 ? "TBP" : "TBPM").size());
    EXPECT_EQ(WrittenFrame(kProperties[0], written.major).id, written.frames.back().id);
    if (l.kind != Kind::Created) {
        EXPECT_EQ(audio, Bytes(after.begin() + written.length(), after.begin() + written.length() + audio.size()));
    }

    CTagmill t;
    ASSERT_EQ(S_OK, t.Open(Widen(path), 1));
    for (const Property &p : kProperties) {
        const std::vector<std::wstring> put = ValuesOf(p.id);
        std::vector<std::wstring> got;
        EXPECT_EQ(S_OK, t.GetString(p.id, got)) << p.id;
        EXPECT_EQ(IsUrl(p.id) ? put : std::vector<std::wstring>{put[0]}, got) << p.id;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, RoundTrip,
                         ::testing::Values(Layout{"V22", Kind::Tagged, 2}, Layout{"V23", Kind::Tagged, 3},
                                           Layout{"V24", Kind::Tagged, 4}, Layout{"Untagged", Kind::Untagged, 3},
                                           Layout{"Created", Kind::Created, 3}),
                         [](const ::testing::TestParamInfo<Layout> &info) { return std::string(info.param.name); });

} // namespace
