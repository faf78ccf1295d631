// Round trips through a commit: every string property is put into contents of
// each layout (tags of every version at the head, a 2.4 tag with footer after
// the audio, AIFF "ID3 " chunks of odd and even size, untagged and newly
// created files), committed by Close and read back after reopening. The
// rewritten bytes are checked against a model of the frame list and the
// padding rules that the test computes on its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "support/commit_support.h"
#include "tagmill/tagmill.h"

using namespace testsupport;
using namespace tagmill;

namespace {

// Memory: a copy of a caller's image (open mode 1); MemoryNew: a new empty
// tag in memory (open mode 3). Both commit through UpdateOnMemory.
enum class Kind { Head, Footer, Aiff, NoTag, Created, Memory, MemoryNew };
enum class Enc { Unicode, Narrow, Url };

struct Property {
    long id;
    const char *v22;
    const char *v23;
    std::vector<std::wstring> values;
    Enc enc;
};

// Every string property that lives in the string cache. Text above U+FFFF
// checks surrogate pairs; pairs sharing a frame (4357/4397, 288/289) get the
// same text so that either reads back what was put.
const std::vector<Property> &Properties() {
    static const std::vector<Property> props = {
        {4615, "TT2", "TIT2", {L"Title \u00e9 \u4e2d\u6587 \U0001F3B5 and a tail well past thirty bytes"}, Enc::Unicode},
        {4357, "TRK", "TRCK", {L"3/12"}, Enc::Narrow},
        {4397, "TRK", "TRCK", {L"3/12"}, Enc::Narrow},
        {4610, "TRC", "TSRC", {L"USRC17607839"}, Enc::Unicode},
        {4616, "TCO", "TCON", {L"Synthpop \u266b"}, Enc::Unicode},
        {4617, "TCR", "TCOP", {L"\u00a9 2024 \u03a9mega"}, Enc::Unicode},
        {4620, "TAL", "TALB", {L"Album \U0001D11E"}, Enc::Unicode},
        {4624, "TP1", "TPE1", {L"\u0410\u0440\u0442\u0438\u0441\u0442"}, Enc::Unicode},
        {4646, "WAR", "WOAR", {L"http://a.example/", L"http://b.example/x"}, Enc::Url},
        {4627, "TCM", "TCOM", {L"Compositeur \u00e7"}, Enc::Unicode},
        {8450, "TEN", "TENC", {L"encoder 1.0"}, Enc::Unicode},
        {288, "TPA", "TPOS", {L"1/2"}, Enc::Narrow},
        {289, "TPA", "TPOS", {L"1/2"}, Enc::Narrow},
        {528, "TP2", "TPE2", {L"Band \u00df"}, Enc::Unicode},
        {5639, "TST", "TSOT", {L"Title sort"}, Enc::Unicode},
        {5644, "TSA", "TSOA", {L"Album sort"}, Enc::Unicode},
        {5648, "TSP", "TSOP", {L"Performer sort"}, Enc::Unicode},
        {593, "TS2", "TSO2", {L"Album artist sort"}, Enc::Unicode},
        {5651, "TSC", "TSOC", {L"Composer sort \U00020000"}, Enc::Unicode},
    };
    return props;
}

struct Layout {
    const char *name;
    Kind kind;
    uint8_t major;
    size_t padding; // of the original tag
    bool v1;        // the original ends with an ID3v1 tag
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
    const uint32_t size = static_cast<uint32_t>(frames.size() + l.padding);
    const bool footer = l.kind == Kind::Footer;
    Bytes tag = Concat({Id3Header(l.major, 0, footer ? 0x10 : 0, size), frames, Bytes(l.padding, 0)});
    if (footer) tag = Concat({tag, Ascii("3DI"), Bytes{l.major, 0, 0x10}, Syncsafe(size)});
    return tag;
}

// Replays the puts on the frame list: a put removes the frames of its ID only
// when the property was loaded or put before; the commit then puts the title
// once more, so it comes last.
std::vector<ParsedFrame> ExpectedFrames(const Layout &l, const ParsedTag &original) {
    std::vector<ParsedFrame> frames = original.frames;
    std::set<long> known;
    for (const Property &p : Properties())
        for (const ParsedFrame &f : original.frames)
            if (f.id == (l.major == 2 ? p.v22 : p.v23)) known.insert(p.id);
    auto put = [&](const Property &p) {
        const std::string id = l.major == 2 ? p.v22 : p.v23;
        if (known.count(p.id))
            frames.erase(std::remove_if(frames.begin(), frames.end(), [&](const ParsedFrame &f) { return f.id == id; }),
                         frames.end());
        if (p.enc == Enc::Url)
            for (const std::wstring &v : p.values) frames.push_back({id, Latin1(v)});
        else
            frames.push_back({id, p.enc == Enc::Unicode ? UnicodePayload(p.values[0])
                                                        : Concat({Bytes{0}, Latin1(p.values[0]), Bytes{0}})});
        known.insert(p.id);
    };
    for (const Property &p : Properties()) put(p);
    put(Properties()[0]);
    return frames;
}

size_t ExpectedTagLength(const Layout &l, size_t used, size_t oldLength) {
    if (l.kind == Kind::Footer) return used;
    if (l.kind == Kind::Aiff) return used + used % 2;
    if (used < oldLength) return oldLength;
    return used + 1024 - used % 16;
}

void PrintTo(const Layout &c, std::ostream *os) { *os << c.name; }

class RoundTrip : public ::testing::TestWithParam<Layout> {};

TEST_P(RoundTrip, EveryStringPropertySurvivesCloseAndReopen) {
    const Layout l = GetParam();
    TempDir dir;
    const std::string path = dir.file(l.kind == Kind::Aiff ? "song.aif" : "song.mp3");
    const bool memory = l.kind == Kind::Memory || l.kind == Kind::MemoryNew;
    const bool created = l.kind == Kind::Created || l.kind == Kind::MemoryNew;
    const Bytes audio = created ? Bytes() : FakeAudio(3);
    const Bytes tag = (l.kind == Kind::NoTag || created) ? Bytes() : OriginalTag(l);
    const Bytes oldV1 = V1Tag("Old v1 title", 17, 9);

    size_t chunk = 0;
    Bytes original;
    switch (l.kind) {
    case Kind::Head:
    case Kind::Memory: original = Concat({tag, audio}); break;
    case Kind::Footer: original = Concat({audio, tag}); break;
    case Kind::Aiff: original = AiffWithTag(tag, audio, &chunk); break;
    case Kind::NoTag: original = audio; break;
    case Kind::Created:
    case Kind::MemoryNew: break;
    }
    if (l.v1) original = Concat({original, oldV1});
    if (!created && !memory) WriteFile(path, original);

    const size_t tagPos = l.kind == Kind::Footer ? audio.size() : l.kind == Kind::Aiff ? chunk + 8 : 0;
    const ParsedTag before = ParseTag(original, tagPos);
    const size_t oldLength = created ? 4096 : before.found ? before.length() : 10;

    // A memory content is committed by UpdateOnMemory and seen through a copy
    // of its tag; a file by Close, and then read whole.
    Bytes after;
    if (memory) {
        CTagmill t;
        ASSERT_EQ(S_OK, t.OpenFromMemory(original.data(), static_cast<unsigned>(original.size()), created ? 3 : 1));
        for (const Property &p : Properties()) ASSERT_EQ(S_OK, t.PutString(p.id, p.values)) << p.id;
        ASSERT_EQ(S_OK, t.UpdateOnMemory());
        unsigned long size = 0;
        ASSERT_EQ(S_OK, t.GetId3TagFrame(nullptr, &size));
        unsigned char *copy = static_cast<unsigned char *>(malloc(size));
        ASSERT_EQ(S_OK, t.GetId3TagFrame(&copy, &size));
        after.assign(copy, copy + size);
        free(copy);
        ASSERT_EQ(S_OK, t.Close());
    } else {
        CTagmill t;
        const long openMode = l.kind == Kind::Created ? 3 : 2;
        ASSERT_EQ(S_OK, l.kind == Kind::Aiff ? t.OpenForAiff(Widen(path), openMode) : t.Open(Widen(path), openMode));
        for (const Property &p : Properties()) ASSERT_EQ(S_OK, t.PutString(p.id, p.values)) << p.id;
        ASSERT_EQ(S_OK, t.Close());
        after = ReadFile(path);
    }

    const ParsedTag written = ParseTag(after, tagPos);
    ASSERT_TRUE(written.found);
    const std::vector<ParsedFrame> expected = ExpectedFrames(l, before);
    ASSERT_EQ(expected.size(), written.frames.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i].id, written.frames[i].id) << i;
        EXPECT_EQ(expected[i].data, written.frames[i].data) << expected[i].id;
    }
    EXPECT_EQ(l.kind == Kind::NoTag || created ? 3 : l.major, written.major);
    EXPECT_EQ(l.kind == Kind::Footer ? 0x10 : 0, written.flags);

    size_t used = written.framesEnd - tagPos;
    const size_t tagLength = ExpectedTagLength(l, used, oldLength);
    EXPECT_EQ(tagLength, written.length());
    EXPECT_EQ(Bytes(tagLength - used, 0), Bytes(after.begin() + written.framesEnd, after.begin() + tagPos + tagLength));

    // What follows (or precedes) the tag is untouched.
    const bool writesV1 = l.kind != Kind::Aiff && !created && !memory;
    const size_t v1Len = (l.v1 || writesV1) ? 128 : 0;
    switch (l.kind) {
    case Kind::Memory:
    case Kind::MemoryNew:
        EXPECT_EQ(tagLength, after.size()) << "the copy holds the tag alone";
        break;
    case Kind::Head:
    case Kind::NoTag:
    case Kind::Created:
        ASSERT_EQ(tagLength + audio.size() + v1Len, after.size());
        EXPECT_EQ(audio, Bytes(after.begin() + tagLength, after.begin() + tagLength + audio.size()));
        break;
    case Kind::Footer: {
        ASSERT_EQ(audio.size() + tagLength + 10 + v1Len, after.size());
        EXPECT_EQ(audio, Bytes(after.begin(), after.begin() + audio.size()));
        const Bytes footer(after.begin() + tagPos + tagLength, after.begin() + tagPos + tagLength + 10);
        EXPECT_EQ(Concat({Ascii("3DI"), Bytes{4, 0, 0x10}, Syncsafe(static_cast<uint32_t>(tagLength - 10))}), footer);
        break;
    }
    case Kind::Aiff: {
        const size_t tagEnd = tagPos + tagLength;
        EXPECT_EQ(Be32(static_cast<uint32_t>(after.size() - 8)), Bytes(after.begin() + 4, after.begin() + 8));
        EXPECT_EQ(Be32(static_cast<uint32_t>(tagLength)), Bytes(after.begin() + chunk + 4, after.begin() + chunk + 8));
        const size_t oldSsnd = chunk + 8 + tag.size() + tag.size() % 2;
        EXPECT_EQ(Bytes(original.begin() + 8, original.begin() + chunk), Bytes(after.begin() + 8, after.begin() + chunk));
        EXPECT_EQ(Bytes(original.begin() + oldSsnd, original.end()), Bytes(after.begin() + tagEnd, after.end()));
        break;
    }
    }

    // The ID3v1 tag: rewritten where the object maintains it, else as before.
    if (writesV1) {
        ASSERT_TRUE(HasV1(after));
        const Bytes title = Latin1(Properties()[0].values[0]);
        EXPECT_EQ(std::string(title.begin(), title.begin() + 30), V1Text(after, 3));
        EXPECT_EQ("??????", V1Text(after, 33));
        EXPECT_EQ("Album ?", V1Text(after, 63));
        EXPECT_EQ(0, after[after.size() - 3]);
        EXPECT_EQ(3, after[after.size() - 2]);
        EXPECT_EQ(148, after.back());
    } else if (l.v1) {
        EXPECT_EQ(oldV1, Bytes(after.end() - 128, after.end()));
    }

    CTagmill t;
    ASSERT_EQ(S_OK, memory ? t.OpenFromMemory(after.data(), static_cast<unsigned>(after.size()), 1)
                    : l.kind == Kind::Aiff ? t.OpenForAiff(Widen(path), 1)
                                           : t.Open(Widen(path), 1));
    for (const Property &p : Properties()) {
        std::vector<std::wstring> got;
        EXPECT_EQ(S_OK, t.GetString(p.id, got)) << p.id;
        EXPECT_EQ(p.enc == Enc::Url ? p.values : std::vector<std::wstring>{p.values[0]}, got) << p.id;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, RoundTrip,
    ::testing::Values(Layout{"V22HeadGrows", Kind::Head, 2, 0, false},
                      Layout{"V23HeadKeepsLength", Kind::Head, 3, 4096 - 10 - 64, true} /* a 4096-byte tag */,
                      Layout{"V24HeadGrows", Kind::Head, 4, 20, false},
                      Layout{"V24FooterAfterAudio", Kind::Footer, 4, 0, false},
                      Layout{"AiffOddChunk", Kind::Aiff, 3, 1, false},
                      Layout{"AiffEvenChunk", Kind::Aiff, 3, 2, true},
                      Layout{"UntaggedFile", Kind::NoTag, 3, 0, false},
                      Layout{"CreatedFile", Kind::Created, 3, 0, false},
                      Layout{"MemoryCopy", Kind::Memory, 3, 200, false},
                      Layout{"MemoryNewTag", Kind::MemoryNew, 3, 0, false}),
    [](const ::testing::TestParamInfo<Layout> &info) { return std::string(info.param.name); });

} // namespace
