// `set`: what it writes reads back through `show`, the ID3v1 tag follows unless
// --no-v1, and files it must not or cannot change stay byte for byte the same.
#include <sys/stat.h>
#include <unistd.h>

#include "tool_fixture.h"

namespace tooltest {
namespace {

using namespace testsupport;
using nlohmann::json;

Bytes Tail128(const std::string &path) {
    const Bytes all = ReadFile(path);
    return Bytes(all.end() - 128, all.end());
}

TEST_F(ToolTest, SetThenShowRoundTrip) {
    const std::string path = CopySample();
    const RunResult r = Run({"set", path, "--title", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x98\x83", "--artist", "Someone",
                             "--genre", "Rock", "--track", "3/12", "--disc", "1/2", "--composer", "C",
                             "--isrc", "XX0000000001", "--copyright", "(c) nobody", "--encoded-by", "hand",
                             "--band", "B", "--title-sort", "TS", "--album-sort", "AS", "--artist-sort", "PS",
                             "--album-artist-sort", "BS", "--composer-sort", "CS",
                             "--artist-url", "http://a.example", "--artist-url", "http://b.example"});
    ASSERT_EQ(r.status, 0) << r.err;
    const json strings = RunJson({"show", "--json", path})[0]["strings"];
    const json expected = {
        {"title", {"Gr\xC3\xBC\xC3\x9F" "e \xE2\x98\x83"}}, {"track", {"3/12"}}, {"track2", {"3/12"}},
        {"isrc", {"XX0000000001"}}, {"genre", {"Rock"}}, {"copyright", {"(c) nobody"}},
        {"album", {"\xC3\x89tudes for Silence"}}, {"artist", {"Someone"}},
        {"artist_url", {"http://a.example", "http://b.example"}}, {"composer", {"C"}},
        {"encoded_by", {"hand"}}, {"disc", {"1/2"}}, {"disc2", {"1/2"}}, {"band", {"B"}},
        {"title_sort", {"TS"}}, {"album_sort", {"AS"}}, {"artist_sort", {"PS"}},
        {"album_artist_sort", {"BS"}}, {"composer_sort", {"CS"}},
    };
    EXPECT_EQ(strings, expected);
}

TEST_F(ToolTest, RemoveDropsProperties) {
    const std::string path = CopySample();
    const RunResult r = Run({"set", path, "--remove", "genre", "--remove", "title"});
    ASSERT_EQ(r.status, 0) << r.err;
    const json strings = RunJson({"show", "--json", path})[0]["strings"];
    EXPECT_FALSE(strings.contains("genre")) << strings.dump();
    EXPECT_FALSE(strings.contains("title")) << strings.dump();
    EXPECT_EQ(strings["artist"], json({"Tagmill Ensemble"}));
}

TEST_F(ToolTest, Id3v1FollowsUnlessNoV1) {
    const std::string path = CopySample();
    const Bytes before = Tail128(path);
    ASSERT_EQ(Run({"set", path, "--no-v1", "--title", "Only v2"}).status, 0);
    EXPECT_EQ(Tail128(path), before);
    ASSERT_EQ(Run({"set", path, "--title", "Both"}).status, 0);
    const Bytes after = Tail128(path);
    EXPECT_EQ(std::string(after.begin() + 3, after.begin() + 7), "Both");
    EXPECT_EQ(after[7], 0);
}

TEST_F(ToolTest, SetWritesIntoAiffChunk) {
    const std::string path = Put("bare.aiff", Aiff({}));
    ASSERT_EQ(Run({"set", path, "--title", "New"}).status, 0);
    const json doc = RunJson({"show", "--json", path});
    EXPECT_EQ(doc[0]["strings"]["title"], json({"New"}));
    const Bytes after = ReadFile(path);
    ASSERT_GE(after.size(), 12u);
    EXPECT_EQ(Bytes(after.begin(), after.begin() + 4), Ascii("FORM"));
    EXPECT_EQ(Bytes(after.begin() + 4, after.begin() + 8), Be32(static_cast<uint32_t>(after.size() - 8)))
        << "the form size covers the new ID3 chunk";
}

TEST_F(ToolTest, RefusedFilesStayUntouched) {
    const std::string text = Put("notes.txt", Ascii("just some words\n"));
    const std::string empty = Put("empty.mp3", {});
    for (const std::string &path : {text, empty}) {
        const RunResult r = Run({"set", path, "--title", "x"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(path + ": not an MP3 or AIFF file"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("nothing written"), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadFile(text), Ascii("just some words\n"));
    EXPECT_TRUE(ReadFile(empty).empty());

    const RunResult r = Run({"set", dir.path(), "--title", "x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is a directory"), std::string::npos) << r.err;
}

TEST_F(ToolTest, ReadOnlyFileReportsOpenFailure) {
    const std::string path = CopySample();
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    if (access(path.c_str(), W_OK) == 0) GTEST_SKIP() << "permissions are not enforced for this user";
    const Bytes before = ReadFile(path);
    const RunResult r = Run({"set", path, "--title", "x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(path + ": cannot open for writing: 0x80040416"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(path), before);
}

TEST_F(ToolTest, ContradictoryOptionsChangeNothing) {
    const std::string path = CopySample();
    const Bytes before = ReadFile(path);
    const RunResult r = Run({"set", path, "--title", "x", "--remove", "title"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(ReadFile(path), before);
}

} // namespace
} // namespace tooltest
