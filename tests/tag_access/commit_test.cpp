// The commit: UpdateOnMemory's cycle, dropping the extended header, and the
// ID3v1 update flag.
#include <gtest/gtest.h>

#include <functional>

#include "support/commit_support.h"
#include "tagmill/tagmill.h"

using namespace testsupport;
using namespace tagmill;

namespace {

const Bytes kBpm = Frame23("TBPM", NarrowPayload("120"));

Bytes SmallMp3(const Bytes &frames) {
    return Concat({Id3Header(3, 0, 0, static_cast<uint32_t>(frames.size() + 32)), frames, Bytes(32, 0), FakeAudio(1)});
}

TEST(UpdateOnMemory, CommitsOnceForEachCycleOfPuts) {
    EXPECT_EQ(E_INVALIDARG, CTagmill().UpdateOnMemory()) << "not a memory content";
    Bytes image = SmallMp3(kBpm);
    const Bytes copy = image;
    for (long mode : {1L, 3L}) {
        CTagmill t;
        ASSERT_EQ(S_OK, t.OpenFromMemory(image.data(), static_cast<unsigned>(image.size()), mode)) << mode;
        EXPECT_EQ(E_FAIL, t.UpdateOnMemory()) << "nothing put yet";
        ASSERT_EQ(S_OK, t.PutString(4615, {L"x"}));
        EXPECT_EQ(S_OK, t.UpdateOnMemory());
        EXPECT_EQ(E_FAIL, t.UpdateOnMemory()) << "the cycle ended with the commit";
        ASSERT_EQ(S_OK, t.PutString(4624, {L"y"}));
        EXPECT_EQ(S_OK, t.UpdateOnMemory()) << "a put after a commit starts a new cycle";
        std::vector<std::wstring> got;
        EXPECT_EQ(S_OK, t.GetString(4615, got));
        EXPECT_EQ(std::vector<std::wstring>{L"x"}, got);
        EXPECT_EQ(S_OK, t.Close());
    }
    EXPECT_EQ(copy, image) << "the caller's buffer is never written";
}

// Extended headers of 10 bytes whose size field, 6, leaves out its own four
// bytes: the way the library reads them in 2.3 and 2.4 tags alike.
TEST(Commit, DropsTheExtendedHeader) {
    const Bytes ext23 = Concat({Be32(6), Bytes{0, 0}, Be32(32)});
    const Bytes ext24 = Concat({Be32(6), Bytes{1, 0}, Bytes(4, 0)});
    for (const auto &[major, ext] : {std::make_pair(uint8_t(3), ext23), std::make_pair(uint8_t(4), ext24)}) {
        const Bytes frames = major == 3 ? kBpm : Frame24("TBPM", NarrowPayload("120"));
        TempDir dir;
        const std::string path = dir.file("a.mp3");
        WriteFile(path, Concat({Id3Header(major, 0, 0x40, static_cast<uint32_t>(ext.size() + frames.size() + 32)),
                                ext, frames, Bytes(32, 0), FakeAudio(1)}));
        CTagmill t;
        ASSERT_EQ(S_OK, t.Open(Widen(path), 3));
        ASSERT_EQ(S_OK, t.PutString(4624, {L"A"}));
        ASSERT_EQ(S_OK, t.Close());

        const ParsedTag tag = ParseTag(ReadFile(path));
        EXPECT_EQ(0, tag.flags) << int(major);
        ASSERT_EQ(3u, tag.frames.size()) << int(major);
        EXPECT_EQ("TBPM", tag.frames[0].id);
        EXPECT_EQ("TPE1", tag.frames[1].id);
        EXPECT_EQ("TIT2", tag.frames[2].id);
    }
}

// Objects that do not maintain the ID3v1 tag still stage its fields, but the
// commit leaves the tag as it was.
TEST(Commit, LeavesId3v1AloneWithoutTheUpdateFlag) {
    const Bytes oldV1 = V1Tag("Old v1", 17, 9);
    const std::vector<std::pair<const char *, std::function<long(CTagmill &, const std::wstring &)>>> openers = {
        {"Open2 false", [](CTagmill &t, const std::wstring &p) { return t.Open2(p, 2, false); }},
        {"mode 3", [](CTagmill &t, const std::wstring &p) { return t.Open(p, 3); }},
        {"AIFF", [](CTagmill &t, const std::wstring &p) { return t.OpenForAiff(p, 2); }},
    };
    for (const auto &[name, open] : openers) {
        TempDir dir;
        const std::string path = dir.file("a");
        const Bytes tag = Concat({Id3Header(3, 0, 0, 32), Bytes(32, 0)});
        WriteFile(path, Concat({std::string(name) == "AIFF" ? AiffWithTag(tag, FakeAudio(1)) : SmallMp3(kBpm), oldV1}));
        CTagmill t;
        ASSERT_EQ(S_OK, open(t, Widen(path))) << name;
        for (long id : {4615L, 4624L, 4620L, 4616L, 4357L}) ASSERT_EQ(S_OK, t.PutString(id, {L"(3)2"})) << name;
        EXPECT_EQ(E_INVALIDARG, t.UpdateOnMemory()) << "a file is committed by Close";
        ASSERT_EQ(S_OK, t.Close()) << name;
        const Bytes after = ReadFile(path);
        EXPECT_EQ(oldV1, Bytes(after.end() - 128, after.end())) << name;
        ASSERT_EQ(S_OK, open(t, Widen(path))) << name;
        std::vector<std::wstring> title;
        EXPECT_EQ(S_OK, t.GetString(4615, title));
        EXPECT_EQ(std::vector<std::wstring>{L"(3)2"}, title) << name << ": the ID3v2 tag was committed";
    }
}

} // namespace
