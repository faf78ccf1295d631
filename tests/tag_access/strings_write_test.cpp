// PutString and the commit: what the cache answers before the commit, the
// frames a put leaves in a committed tag (payload layouts, which frames are
// replaced), the staged ID3v1 fields, UpdateOnMemory's cycle of puts and
// commits, and the ID3v1 update flag of each way of opening.
#include "support/frame_extract.h"

using namespace testsupport;
using namespace tagmill;

namespace {


const Bytes kBpm = Frame23("TBPM", Latin1Text("120", true));

// A 2.3 tag holding frames (plus padding) before some audio.
Bytes SmallMp3(const Bytes &frames) { return Concat({Id3Tag(3, Concat({frames, Bytes(32, 0)})), FakeAudio(1)}); }

// Writes SmallMp3(frames) to a file, opens it for writing, makes the puts and
// closes; returns the file. Until the commit the cache answers with every
// value put, and a list that is empty or begins with an empty value reads as
// absent.
Bytes CommitPuts(const Bytes &frames, const std::vector<std::pair<long, Strings>> &puts) {
    return CommitFile(SmallMp3(frames), [&puts](CTagmill &t) {
        for (const auto &[id, values] : puts) {
            EXPECT_EQ(S_OK, t.PutString(id, values)) << id;
            const bool absent = values.empty() || values[0].empty();
            long hr = 0;
            EXPECT_EQ(absent ? Strings{} : values, Values(t, id, &hr)) << id;
            EXPECT_EQ(absent ? E_PROPERTY_ABSENT : S_OK, hr) << id;
        }
    });
}

// Each case makes several puts in one commit. The frames of other properties
// stay first; each put appends its frames; the title frame is always there,
// and last. The new ID3v1 tag holds the staged fields, among them the track
// number that the open for writing staged from the track frame.
TEST(PutString, FramesAndId3v1FieldsAfterTheCommit) {
    const std::wstring k40(L"0123456789abcdef\u00E9\u65E5ijklmnopqrstuvwxyzABCD");
    const std::string k40InId3v1("0123456789abcdef\xE9?ijklmnopqrst"); // cut to 30, '?' beyond the code page
    const Bytes old = Concat({kBpm, Frame23("TIT2", Latin1Text("Old", true)),
                              Frame23("TIT2", Latin1Text("Older", true)), Frame23("TCON", Latin1Text("(3)", true)),
                              Frame23("TALB", {5, 'x', 0}),
                              Frame23("TRCK", Latin1Text("1", true)), Frame23("TPE1", Latin1Text("Old", true))});
    const Bytes bpm = Latin1Text("120", true);
    const std::string blank(30, ' '); // a field of a new ID3v1 tag that was never written
    using V1Fields = std::tuple<std::string, std::string, std::string, int, int>; // title to track and genre
    const struct {
        const char *name;
        Bytes original;
        std::vector<std::pair<long, Strings>> puts;
        FrameList frames;
        V1Fields v1;
    } cases[] = {
        // The unreadable album frame was never loaded, so it stays beside the
        // new one; the second track identifier replaces the shared frame but
        // stages no ID3v1 track. A genre text not of the form "(n)..." is
        // Unicode and no genre number (148).
        {"empty lists and values, shared frame, URLs", old,
         {{4615, {}}, {4616, {L"Rock"}}, {4397, {L"7"}}, {4620, {L"New"}}, {4624, {L""}}, {4646, {L"a", L"b"}}},
         {{"TBPM", bpm}, {"TALB", {5, 'x', 0}}, {"TCON", Utf16Text(L"Rock", true)}, {"TRCK", Latin1Text("7", true)},
          {"TALB", Utf16Text(L"New", true)}, {"TPE1", Utf16Text(L"", true)}, {"WOAR", {'a'}}, {"WOAR", {'b'}},
          {"TIT2", {1, 0xFF, 0xFE, 0, 0}}},
         {"", "", "New", 1, 148}},
        // "(300)" and anything after it is narrow and genre 300 & 0xFF.
        {"first values only, long title, numbers", kBpm, {{4615, {k40, L"B"}}, {4357, {L"3/12"}}, {4616, {L"(300)x"}}},
         {{"TBPM", bpm}, {"TRCK", {0, '3', '/', '1', '2', 0}}, {"TCON", Latin1Text("(300)x", true)},
          {"TIT2", Utf16Text(k40, true)}},
         {k40InId3v1, blank, blank, 3, 44}},
        // Numbers beyond the 32-bit range read as 2^31-1, whose low byte is 255.
        {"numbers beyond 32 bits", kBpm, {{4357, {L"4294967303"}}, {4616, {L"(4294967444)"}}},
         {{"TBPM", bpm}, {"TRCK", Latin1Text("4294967303", true)}, {"TCON", Latin1Text("(4294967444)", true)},
          {"TIT2", {1, 0xFF, 0xFE, 0, 0}}},
         {"", blank, blank, 255, 255}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes after = CommitPuts(c.original, c.puts);
        EXPECT_EQ(c.frames, ParseTag(after).List());
        EXPECT_EQ(c.v1, V1Fields(V1Text(after, 3), V1Text(after, 33), V1Text(after, 63), after[after.size() - 2],
                                 after.back()));
    }
}

TEST(UpdateOnMemory, CommitsOnceForEachCycleOfPuts) {
    Bytes image = SmallMp3(kBpm);
    const Bytes copy = image;
    CTagmill t;
    ASSERT_EQ(S_OK, t.OpenFromMemory(image.data(), static_cast<unsigned>(image.size()), 1));
    EXPECT_EQ(E_FAIL, t.UpdateOnMemory()) << "nothing put yet";
    ASSERT_EQ(S_OK, t.PutString(4615, {L"x"}));
    EXPECT_EQ(S_OK, t.UpdateOnMemory());
    EXPECT_EQ(E_FAIL, t.UpdateOnMemory()) << "the cycle ended with the commit";
    ASSERT_EQ(S_OK, t.PutString(4624, {L"y"}));
    EXPECT_EQ(S_OK, t.UpdateOnMemory()) << "a put after a commit starts a new cycle";
    EXPECT_EQ(copy, image) << "the caller's buffer is never written";
}

// Objects that do not maintain the ID3v1 tag still stage its fields, but the
// commit leaves the tag as it was.
TEST(Commit, LeavesId3v1AloneWithoutTheUpdateFlag) {
    const Bytes oldV1 = TagV1("Old v1", "", "", 17, 9);
    for (const std::string way : {"Open2 false", "mode 3", "AIFF"}) {
        TempDir dir;
        const std::wstring path = dir.wfile("a");
        const Bytes tag = Concat({Id3Header(3, 0, 0, 32), Bytes(32, 0)});
        const Bytes aiff = Form("AIFF", {{"COMM", AiffComm()}, {"ID3 ", tag}, {"SSND", Concat({Bytes(8, 0), FakeAudio(1)})}});
        WriteFile(dir.file("a"), Concat({way == "AIFF" ? aiff : SmallMp3(kBpm), oldV1}));
        const auto open = [&](CTagmill &t) {
            return way == "AIFF" ? t.OpenForAiff(path, 2) : way == "mode 3" ? t.Open(path, 3) : t.Open2(path, 2, false);
        };
        CTagmill t;
        ASSERT_EQ(S_OK, open(t)) << way;
        for (long id : {4615L, 4624L, 4620L, 4616L, 4357L}) ASSERT_EQ(S_OK, t.PutString(id, {L"(3)2"})) << way;
        EXPECT_EQ(E_INVALIDARG, t.UpdateOnMemory()) << "a file is committed by Close";
        ASSERT_EQ(S_OK, t.Close()) << way;
        const Bytes after = ReadFile(dir.file("a"));
        EXPECT_EQ(oldV1, Bytes(after.end() - 128, after.end())) << way;
        ASSERT_EQ(S_OK, open(t)) << way;
        EXPECT_EQ(Strings{L"(3)2"}, Values(t, 4615)) << way << ": the ID3v2 tag was committed";
    }
}

} // namespace
