// `info` and `show` on hand-made files and on the committed sample.
#include "tool_fixture.h"

namespace tooltest {
namespace {

using namespace testsupport;
using nlohmann::json;

TEST_F(ToolTest, InfoDescribesTagHeaderAndId3v1) {
    const Bytes body = Frame23("TIT2", Concat({Bytes{0}, Ascii("x"), Bytes{0}}));
    const Bytes body24 = Frame24("TIT2", Concat({Bytes{0}, Ascii("x"), Bytes{0}}));
    struct Case {
        const char *name;
        Bytes content;
        json id3v2;
        bool id3v1;
    } cases[] = {
        {"plain23", Concat({Id3Header(3, 0, 0, 100), body, Bytes(100 - body.size(), 0), FakeAudio(2)}),
         {{"version", "2.3"}, {"position", 0}, {"size", 100}, {"flags", json::array()}}, false},
        {"flags24_v1", Concat({Id3Header(4, 0, 0xA0, 64), body24, Bytes(64 - body24.size(), 0), FakeAudio(2),
                               Id3v1("t", 1, 17)}),
         {{"version", "2.4"}, {"position", 0}, {"size", 64}, {"flags", {"unsynchronisation", "experimental"}}}, true},
        {"junk22", Concat({Bytes(100, 0), Id3Header(2, 0, 0, 20), Bytes(20, 0), FakeAudio(2)}),
         {{"version", "2.2"}, {"position", 100}, {"size", 20}, {"flags", json::array()}}, false},
        {"untagged", FakeAudio(3), nullptr, false},
        {"v1only", Concat({FakeAudio(3), Id3v1("t", 1, 17)}), nullptr, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Put(std::string(c.name) + ".mp3", c.content);
        const json doc = RunJson({"info", "--json", path});
        ASSERT_EQ(doc.size(), 1u);
        EXPECT_EQ(doc[0]["file"], path);
        EXPECT_EQ(doc[0]["kind"], "mpeg");
        EXPECT_EQ(doc[0]["id3v2"], c.id3v2);
        EXPECT_EQ(doc[0]["id3v1"], c.id3v1);
    }
}

TEST_F(ToolTest, InfoTextOnSample) {
    const RunResult r = Run({"info", SamplePath()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("ID3v2:    2.3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("position: 0"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("flags:    none"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ID3v1:    present"), std::string::npos) << r.out;
}

TEST_F(ToolTest, ShowJsonOnSample) {
    const json doc = RunJson({"show", "--json", SamplePath()});
    ASSERT_TRUE(doc.is_array());
    ASSERT_EQ(doc.size(), 1u);
    const json expected = {
        {"title", {"Silent Sample"}}, {"track", {"1/1"}}, {"track2", {"1/1"}}, {"genre", {"(37)"}},
        {"album", {"\xC3\x89tudes for Silence"}}, {"artist", {"Tagmill Ensemble"}},
    };
    EXPECT_EQ(doc[0]["file"], SamplePath());
    EXPECT_EQ(doc[0]["version"], "2.3");
    EXPECT_EQ(doc[0]["strings"], expected);
}

TEST_F(ToolTest, ShowTableListsNameIdAndValue) {
    const RunResult r = Run({"show", SamplePath()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("title    4615  Silent Sample"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("composer"), std::string::npos) << "absent properties are left out";
}

TEST_F(ToolTest, ShowFallsBackToId3v1AndReportsNoVersion) {
    const std::string path = Put("v1.mp3", Concat({FakeAudio(3), Id3v1("Old Title", 4, 17)}));
    const json doc = RunJson({"show", "--json", path});
    EXPECT_TRUE(doc[0]["version"].is_null());
    EXPECT_EQ(doc[0]["strings"]["title"], json({"Old Title"}));
    EXPECT_EQ(doc[0]["strings"]["track"], json({"4"}));
    EXPECT_EQ(doc[0]["strings"]["genre"], json({"(17)"}));
}

TEST_F(ToolTest, ReadsAiffIdChunk) {
    const Bytes tag = Concat({Id3Header(3, 0, 0, 40), Frame23("TIT2", Concat({Bytes{0}, Ascii("Aiff Song"), Bytes{0}})),
                              Bytes(40 - 20, 0)});
    const std::string tagged = Put("tagged.aiff", Aiff(tag));
    const std::string bare = Put("bare.aiff", Aiff({}));
    const json doc = RunJson({"show", "--json", tagged, bare});
    ASSERT_EQ(doc.size(), 2u);
    EXPECT_EQ(doc[0]["strings"]["title"], json({"Aiff Song"}));
    EXPECT_TRUE(doc[1]["version"].is_null());
    EXPECT_TRUE(doc[1]["strings"].empty());
    const json info = RunJson({"info", "--json", tagged});
    EXPECT_EQ(info[0]["kind"], "aiff");
    EXPECT_EQ(info[0]["id3v2"]["version"], "2.3");
}

TEST_F(ToolTest, FailedFilesAreReportedAndLeftOutOfJson) {
    const std::string missing = dir.file("missing.mp3");
    const RunResult r = Run({"show", "--json", SamplePath(), missing, dir.path()});
    EXPECT_EQ(r.status, 1);
    const json doc = json::parse(r.out);
    ASSERT_EQ(doc.size(), 1u);
    EXPECT_EQ(doc[0]["file"], SamplePath());
    EXPECT_NE(r.err.find(missing + ": cannot open: 0x80040412"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(dir.path() + ": is a directory"), std::string::npos) << r.err;
}

TEST_F(ToolTest, ExitStatuses) {
    const std::string missing = dir.file("missing.mp3");
    struct Case {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"info", missing}, 1},
        {{"set", missing, "--title", "x"}, 1},
        {{}, 2},
        {{"info"}, 2},
        {{"show", "--bogus", SamplePath()}, 2},
        {{"frobnicate"}, 2},
        {{"set", SamplePath()}, 2},
        {{"set", SamplePath(), "--remove", "nonsense"}, 2},
        {{"--help"}, 0},
        {{"info", "--help"}, 0},
        {{"show", "--help"}, 0},
        {{"set", "--help"}, 0},
    };
    for (const Case &c : cases) {
        const RunResult r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << ::testing::PrintToString(c.args) << "\n" << r.err;
    }
}

} // namespace
} // namespace tooltest
