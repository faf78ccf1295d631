// PutString: the frames it leaves in a committed tag (payload layouts, which
// frames are replaced), the staged ID3v1 fields, genre numbers, and what the
// cache answers before the commit.
#include <gtest/gtest.h>

#include "support/commit_support.h"
#include "tagmill/tagmill.h"

using namespace testsupport;
using namespace tagmill;

namespace {

const Bytes kBpm = Frame23("TBPM", NarrowPayload("120"));

// Writes a 2.3 tag holding frames (plus padding) before some audio, opens it
// for reading and writing, applies put, closes, and returns the file.
template <typename Put>
Bytes CommitWith(const Bytes &frames, Put put) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, Concat({Id3Header(3, 0, 0, static_cast<uint32_t>(frames.size() + 64)), frames, Bytes(64, 0),
                            FakeAudio(1)}));
    CTagmill t;
    EXPECT_EQ(S_OK, t.Open(Widen(path), 2));
    put(t);
    EXPECT_EQ(S_OK, t.Close());
    return ReadFile(path);
}

Bytes CommitPut(const Bytes &frames, long id, const std::vector<std::wstring> &values) {
    return CommitWith(frames, [&](CTagmill &t) { EXPECT_EQ(S_OK, t.PutString(id, values)); });
}

TEST(PutString, FramesAndId3v1FieldsAfterTheCommit) {
    const std::wstring k40(L"0123456789abcdefghijklmnopqrstuvwxyzABCD");
    const struct {
        const char *name;
        Bytes original;
        long id;
        std::vector<std::wstring> values;
        const char *frame;
        std::vector<Bytes> payloads; // of that frame ID after the commit
        size_t v1Offset;             // bytes of the ID3v1 tag expected there
        Bytes v1;
    } cases[] = {
        {"empty list leaves an empty title",
         Concat({kBpm, Frame23("TIT2", NarrowPayload("Old")), Frame23("TIT2", NarrowPayload("Older"))}), 4615, {},
         "TIT2", {{1, 0xFF, 0xFE, 0, 0}}, 3, {0}},
        {"only the first value is written", kBpm, 4615, {L"A", L"B"}, "TIT2", {{1, 0xFF, 0xFE, 'A', 0, 0, 0}}, 3,
         {'A', 0}},
        {"title cut to 30 for ID3v1", kBpm, 4615, {k40}, "TIT2", {UnicodePayload(k40)}, 3, Latin1(k40.substr(0, 30))},
        {"track is narrow and stages its number", kBpm, 4357, {L"3/12"}, "TRCK", {{0, '3', '/', '1', '2', 0}}, 125,
         {0, 3}},
        {"empty genre list removes the frame", Concat({kBpm, Frame23("TCON", NarrowPayload("(3)"))}), 4616, {},
         "TCON", {}, 127, {148}},
        {"one URL frame per value, no terminator", kBpm, 4646, {L"a", L"b"}, "WOAR", {{'a'}, {'b'}}, 0,
         {'T', 'A', 'G'}},
        {"second track id replaces the shared frame", Concat({kBpm, Frame23("TRCK", NarrowPayload("1"))}), 4397,
         {L"7"}, "TRCK", {NarrowPayload("7")}, 0, {'T', 'A', 'G'}},
        {"unreadable frame stays beside", Concat({kBpm, Frame23("TALB", {5, 'x', 0})}), 4620, {L"New"}, "TALB",
         {{5, 'x', 0}, UnicodePayload(L"New")}, 63, {'N', 'e', 'w', 0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes after = CommitPut(c.original, c.id, c.values);
        const ParsedTag tag = ParseTag(after);
        EXPECT_EQ(c.payloads, tag.Payloads(c.frame));
        EXPECT_EQ(kBpm, Frame23(tag.frames.at(0).id, tag.frames.at(0).data)) << "unrelated frames stay first";
        EXPECT_EQ("TIT2", tag.frames.back().id) << "the title frame is always there, and last";
        ASSERT_TRUE(HasV1(after));
        EXPECT_EQ(c.v1, Bytes(after.end() - 128 + c.v1Offset, after.end() - 128 + c.v1Offset + c.v1.size()));
    }
}

// Genre texts: "(n)" with anything after it is genre n (low 8 bits), written
// in ISO-8859-1; everything else is no genre (148), written in UTF-16.
TEST(PutString, GenreNumberAndEncodingFollowTheParenthesisForm) {
    const struct {
        const wchar_t *text;
        uint8_t encoding;
        uint8_t genre;
    } cases[] = {{L"(17)", 0, 17}, {L"(17)Rock", 0, 17}, {L"(300)", 0, 44}, {L"()x", 0, 0},
                 {L"Rock", 1, 148}, {L"(17", 1, 148},    {L"(x)", 1, 148},  {L"", 1, 148}};
    for (const auto &c : cases) {
        const Bytes after = CommitPut(kBpm, 4616, {c.text});
        const std::vector<Bytes> tcon = ParseTag(after).Payloads("TCON");
        ASSERT_EQ(1u, tcon.size()) << Narrow(c.text);
        EXPECT_EQ(c.encoding, tcon[0].at(0)) << Narrow(c.text);
        EXPECT_EQ(c.genre, after.back()) << Narrow(c.text);
    }
}

TEST(PutString, CacheAnswersAtOnceAndKeepsEveryValue) {
    const Bytes after = CommitWith(Concat({kBpm, Frame23("TPE1", UnicodePayload(L"Old"))}), [](CTagmill &t) {
        std::vector<std::wstring> got;
        ASSERT_EQ(S_OK, t.PutString(4624, {L"A", L"B"}));
        ASSERT_EQ(S_OK, t.GetString(4624, got));
        EXPECT_EQ((std::vector<std::wstring>{L"A", L"B"}), got);
        ASSERT_EQ(S_OK, t.PutString(4624, {}));
        EXPECT_EQ(E_PROPERTY_ABSENT, t.GetString(4624, got));
        ASSERT_EQ(S_OK, t.PutString(4624, {L""}));
        EXPECT_EQ(E_PROPERTY_ABSENT, t.GetString(4624, got)) << "an empty first value reads as absent";
        EXPECT_EQ((std::vector<std::wstring>{L"A", L"B"}), got) << "a failed read leaves the list alone";
    });
    EXPECT_EQ(std::vector<Bytes>{UnicodePayload(L"")}, ParseTag(after).Payloads("TPE1"));
}

} // namespace
