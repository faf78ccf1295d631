// The commands that write: `set` (what it writes reads back through `show`,
// the ID3v1 tag follows unless --no-v1, bad options leave the file byte for
// byte the same), and extract-picture, export-tag and build-tag on one file.
// Files `set` refuses and --out-dir are covered with the library runs.
#include "tool_fixture.h"

namespace tooltest {
namespace {

using namespace testsupport;
using nlohmann::json;

TEST_F(ToolTest, SetStringsRoundTripAndReachId3v1) {
    const std::string path = CopySample();
    const RunResult r = Run({"set", path, "--title", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x98\x83", "--artist", "Someone",
                             "--genre", "Rock", "--track", "3/12", "--disc", "1/2", "--composer", "C",
                             "--isrc", "XX0000000001", "--copyright", "(c) nobody", "--encoded-by", "hand",
                             "--band", "B", "--title-sort", "TS", "--album-sort", "AS", "--artist-sort", "PS",
                             "--album-artist-sort", "BS", "--composer-sort", "CS",
                             "--artist-url", "http://a.example", "--artist-url", "http://b.example"});
    ASSERT_EQ(r.status, 0) << r.err;
    const json expected = {
        {"title", {"Gr\xC3\xBC\xC3\x9F" "e \xE2\x98\x83"}}, {"track", {"3/12"}}, {"track2", {"3/12"}},
        {"isrc", {"XX0000000001"}}, {"genre", {"Rock"}}, {"copyright", {"(c) nobody"}},
        {"album", {"\xC3\x89tudes for Silence"}}, {"artist", {"Someone"}},
        {"artist_url", {"http://a.example", "http://b.example"}}, {"composer", {"C"}},
        {"encoded_by", {"hand"}}, {"disc", {"1/2"}}, {"disc2", {"1/2"}}, {"band", {"B"}},
        {"title_sort", {"TS"}}, {"album_sort", {"AS"}}, {"artist_sort", {"PS"}},
        {"album_artist_sort", {"BS"}}, {"composer_sort", {"CS"}},
    };
    EXPECT_EQ(RunJson({"show", "--json", path})[0]["strings"], expected);
    // The ID3v1 title is Latin-1: the snowman narrows to '?'.
    const Bytes file = ReadFile(path);
    EXPECT_EQ(Bytes(file.end() - 125, file.end() - 117), Concat({Ascii("Gr\xFC\xDF" "e ?"), Bytes{0}}));
}

TEST_F(ToolTest, SetDatePictureAndRemovals) {
    const std::string path = CopySample();
    const Bytes sample = ReadFile(path);
    // The picture's type comes from its first bytes, not from its name, and a
    // new picture replaces the one there.
    for (const char *format : {"jpeg", "gif", "webp", "png"}) {
        SCOPED_TRACE(format);
        const std::string image = Put("image.bin", ImageBytes(format, 300));
        ASSERT_EQ(Run({"set", path, "--no-v1", "--date", "2019-05-03", "--picture", image}).status, 0);
        const json pictures = RunJson({"show", "--json", path})[0]["pictures"];
        ASSERT_EQ(pictures.size(), 1u);
        EXPECT_EQ(pictures[0]["mime"], std::string("image/") + format);
        EXPECT_EQ(pictures[0]["size"], 300);
    }
    EXPECT_TRUE(std::equal(sample.end() - 128, sample.end(), ReadFile(path).end() - 128)) << "--no-v1";
    json doc = RunJson({"show", "--json", path})[0];
    EXPECT_EQ(doc["date"], "2019-05-03");
    EXPECT_EQ(doc["year"], "2019");

    ASSERT_EQ(Run({"set", path, "--year", "2021"}).status, 0);
    EXPECT_EQ(RunJson({"show", "--json", path})[0]["date"], "2021-05-03") << "a year alone keeps month and day";

    ASSERT_EQ(Run({"set", path, "--remove-picture", "--remove", "date", "--remove", "genre"}).status, 0);
    doc = RunJson({"show", "--json", path})[0];
    EXPECT_TRUE(doc["pictures"].empty()) << doc.dump();
    EXPECT_TRUE(doc["date"].is_null()) << doc.dump();
    EXPECT_TRUE(doc["year"].is_null()) << doc.dump();
    EXPECT_FALSE(doc["strings"].contains("genre")) << doc.dump();
    EXPECT_EQ(doc["strings"]["title"], json({"Silent Sample"})) << "other properties stay";
}

// Bad options are found before any file is opened: status 2, file untouched.
TEST_F(ToolTest, BadEditOptionsAreUsageErrors) {
    const std::string path = CopySample();
    const std::string text = Put("notes.txt", Ascii("not an image at all"));
    const std::string riffWave = Put("sound.wav", Concat({Ascii("RIFF"), Bytes(4, 0), Ascii("WAVEfmt ")}));
    const std::vector<std::vector<std::string>> cases = {
        {"--date", "2019-13-01"}, {"--date", "2019-02-30"}, {"--date", "0999-01-01"}, {"--date", "2019-5-3"},
        {"--year", "999"},        {"--year", "0999"},       {"--year", "20x1"},
        {"--year", "2019", "--date", "2019-01-01"},         {"--picture", text},      {"--picture", riffWave},
        {"--picture", dir.file("missing.png")},             {"--picture", dir.path()},
        {"--picture", Put("p.png", ImageBytes("png")), "--remove-picture"},
        {"--date", "2019-01-01", "--remove", "date"},       {"--title", "x", "--remove", "title"},
    };
    for (const auto &options : cases) {
        std::vector<std::string> args = {"set", path};
        args.insert(args.end(), options.begin(), options.end());
        const RunResult r = Run(args);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(options) << "\n" << r.err;
        EXPECT_NE(r.err.find("tagmill set: "), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadFile(path), ReadFile(SamplePath()));
}

TEST_F(ToolTest, ExtractPictureAndExportTagWriteTheExactBytes) {
    const std::string path = CopySample();
    const Bytes jpeg = ImageBytes("jpeg", 5000);
    ASSERT_EQ(Run({"set", path, "--title", "Exported", "--picture", Put("c.jpg", jpeg)}).status, 0);
    const RunResult r = Run({"extract-picture", path, dir.file("out.jpg")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.empty()) << "one file: silent on success";
    EXPECT_EQ(ReadFile(dir.file("out.jpg")), jpeg);
    ASSERT_EQ(Run({"export-tag", path, dir.file("tag.id3")}).status, 0);
    EXPECT_EQ(ReadFile(dir.file("tag.id3")), LeadingTag(ReadFile(path)));

    // A file without one is a failure when it is the one asked for.
    const std::string bare = Put("bare.mp3", FakeAudio(2));
    for (const char *command : {"extract-picture", "export-tag"}) {
        const RunResult none = Run({command, bare, dir.file("none")});
        EXPECT_EQ(none.status, 1);
        EXPECT_NE(none.err.find(bare + ": has no "), std::string::npos) << none.err;
        EXPECT_FALSE(FileExists(dir.file("none")));
    }
}

TEST_F(ToolTest, BuildTagMakesAStandAloneTag) {
    const std::string out = dir.file("built.id3");
    const RunResult r = Run({"build-tag", "--title", "Built \xE2\x98\x83", "--date", "2001-02-03", "--picture",
                             Put("c.png", ImageBytes("png", 77)), out});
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes built = ReadFile(out);
    EXPECT_EQ(built, LeadingTag(built)) << "the tag and nothing else";
    const json doc = RunJson({"show", "--json", out})[0];
    EXPECT_EQ(doc["version"], "2.3");
    EXPECT_EQ(doc["strings"], json({{"title", {"Built \xE2\x98\x83"}}}));
    EXPECT_EQ(doc["date"], "2001-02-03");
    ASSERT_EQ(doc["pictures"].size(), 1u);
    EXPECT_EQ(doc["pictures"][0]["size"], 77);
}

} // namespace
} // namespace tooltest
