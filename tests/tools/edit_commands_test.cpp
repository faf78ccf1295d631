// `set` with dates and pictures, and the commands that move bytes out of or
// into tags: extract-picture, export-tag and build-tag.
#include <sys/stat.h>

#include "tool_fixture.h"

namespace tooltest {
namespace {

using namespace testsupport;
using nlohmann::json;

TEST_F(ToolTest, SetDatePictureAndYearRoundTrip) {
    const std::string path = CopySample();
    const Bytes png = ImageBytes("png", 300);
    const std::string cover = Put("cover.bin", png); // the type comes from the bytes, not the name
    ASSERT_EQ(Run({"set", path, "--date", "2019-05-03", "--picture", cover}).status, 0);
    json doc = RunJson({"show", "--json", path})[0];
    EXPECT_EQ(doc["date"], "2019-05-03");
    EXPECT_EQ(doc["year"], "2019");
    ASSERT_EQ(doc["pictures"].size(), 1u);
    EXPECT_EQ(doc["pictures"][0]["mime"], "image/png");
    EXPECT_EQ(doc["pictures"][0]["size"], 300);

    // A year alone keeps the month and day.
    ASSERT_EQ(Run({"set", path, "--year", "2021"}).status, 0);
    doc = RunJson({"show", "--json", path})[0];
    EXPECT_EQ(doc["date"], "2021-05-03");

    ASSERT_EQ(Run({"set", path, "--remove-picture", "--remove", "date"}).status, 0);
    doc = RunJson({"show", "--json", path})[0];
    EXPECT_TRUE(doc["pictures"].empty()) << doc.dump();
    EXPECT_TRUE(doc["date"].is_null()) << doc.dump();
    EXPECT_TRUE(doc["year"].is_null()) << doc.dump();
    EXPECT_EQ(doc["strings"]["title"], json({"Silent Sample"})) << "other properties stay";
}

TEST_F(ToolTest, PictureTypeComesFromMagicBytes) {
    const std::string path = CopySample();
    for (const char *format : {"jpeg", "png", "gif", "webp"}) {
        SCOPED_TRACE(format);
        const std::string image = Put("image", ImageBytes(format));
        ASSERT_EQ(Run({"set", path, "--picture", image}).status, 0);
        EXPECT_EQ(RunJson({"show", "--json", path})[0]["pictures"][0]["mime"], std::string("image/") + format);
    }
}

// Bad arguments are found before any file is opened: status 2, file untouched.
TEST_F(ToolTest, BadEditArgumentsAreUsageErrors) {
    const std::string path = CopySample();
    const Bytes before = ReadFile(path);
    const std::string text = Put("notes.txt", Ascii("not an image at all"));
    const std::string riffWave = Put("sound.wav", Concat({Ascii("RIFF"), Bytes(4, 0), Ascii("WAVEfmt ")}));
    const std::vector<std::vector<std::string>> cases = {
        {"--date", "2019-13-01"}, {"--date", "2019-02-30"}, {"--date", "0999-01-01"}, {"--date", "2019-5-3"},
        {"--date", "yesterday"},  {"--year", "999"},        {"--year", "0999"},       {"--year", "20x1"},
        {"--year", "2019", "--date", "2019-01-01"},         {"--picture", text},      {"--picture", riffWave},
        {"--picture", dir.file("missing.png")},             {"--picture", dir.path()},
        {"--picture", Put("p.png", ImageBytes("png")), "--remove-picture"},
        {"--date", "2019-01-01", "--remove", "date"},
    };
    for (const auto &options : cases) {
        std::vector<std::string> args = {"set", path};
        args.insert(args.end(), options.begin(), options.end());
        const RunResult r = Run(args);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(options) << "\n" << r.err;
        EXPECT_NE(r.err.find("tagmill set: "), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadFile(path), before);
}

TEST_F(ToolTest, ExtractPictureWritesTheExactBytes) {
    const std::string path = CopySample();
    const Bytes jpeg = ImageBytes("jpeg", 5000);
    ASSERT_EQ(Run({"set", path, "--picture", Put("c.jpg", jpeg)}).status, 0);
    const std::string out = dir.file("out.jpg");
    const RunResult r = Run({"extract-picture", path, out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(out), jpeg);
    EXPECT_TRUE(r.out.empty()) << "one file: silent on success";

    // A file without a picture is a failure when it is the one asked for.
    const RunResult none = Run({"extract-picture", SamplePath(), dir.file("none.jpg")});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("has no picture"), std::string::npos) << none.err;
    EXPECT_FALSE(FileExists(dir.file("none.jpg")));
}

TEST_F(ToolTest, ExportTagEqualsTheTagBytesOfTheFile) {
    const std::string path = CopySample();
    ASSERT_EQ(Run({"set", path, "--title", "Exported", "--picture", Put("c.png", ImageBytes("png"))}).status, 0);
    const std::string out = dir.file("tag.id3");
    ASSERT_EQ(Run({"export-tag", path, out}).status, 0);
    const Bytes exported = ReadFile(out);
    EXPECT_EQ(exported, LeadingTag(ReadFile(path)));
    ASSERT_GE(exported.size(), 10u);
    EXPECT_EQ(Bytes(exported.begin(), exported.begin() + 3), Ascii("ID3"));

    const RunResult none = Run({"export-tag", Put("bare.mp3", FakeAudio(2)), dir.file("bare.id3")});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("has no ID3v2 tag"), std::string::npos) << none.err;
}

TEST_F(ToolTest, BuildTagMakesAStandAloneTag) {
    const Bytes png = ImageBytes("png", 77);
    const std::string out = dir.file("built.id3");
    const RunResult r = Run({"build-tag", "--title", "Built \xE2\x98\x83", "--artist", "A", "--date", "2001-02-03",
                             "--picture", Put("c.png", png), out});
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes tagBytes = ReadFile(out);
    ASSERT_GE(tagBytes.size(), 10u);
    CTagmill tag;
    ASSERT_EQ(tag.OpenFromMemory(tagBytes.data(), static_cast<unsigned>(tagBytes.size()), 1), tagmill::S_OK);
    std::vector<std::wstring> title;
    ASSERT_EQ(tag.GetString(4615, title), tagmill::S_OK);
    EXPECT_EQ(title, std::vector<std::wstring>{L"Built \u2603"});
    double date = 0, expected = 0;
    ASSERT_EQ(tag.GetDate(5120, date), tagmill::S_OK);
    ASSERT_TRUE(CXDate::PartsToDate(2001, 2, 3, 0, 0, 0, expected));
    EXPECT_EQ(date, expected);
    std::vector<std::shared_ptr<CTagmill::CPicture>> pictures;
    ASSERT_EQ(tag.GetBinary(4640, pictures), tagmill::S_OK);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0]->Size(), 77);
    tag.Close();

    // The tool reads its own output back as well.
    EXPECT_EQ(RunJson({"show", "--json", out})[0]["strings"]["artist"], json({"A"}));
    EXPECT_EQ(Run({"build-tag", out}).status, 2) << "nothing to put in the tag";
}

TEST_F(ToolTest, ExtractIntoDirectoryNamesOutputsAfterInputs) {
    const std::string lib = dir.file("lib");
    ASSERT_EQ(mkdir(lib.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((lib + "/a").c_str(), 0755), 0);
    const Bytes gif = ImageBytes("gif", 90);
    WriteFile(lib + "/a/one.mp3", ReadFile(SamplePath()));
    WriteFile(lib + "/two.mp3", ReadFile(SamplePath()));
    ASSERT_EQ(Run({"set", "-r", lib, "--picture", Put("c.gif", gif)}).status, 0);
    WriteFile(lib + "/bare.mp3", FakeAudio(2));

    const std::string covers = dir.file("covers");
    const RunResult r = Run({"extract-picture", "-r", lib, "--out-dir", covers});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(covers + "/a/one.mp3.gif"), gif);
    EXPECT_EQ(ReadFile(covers + "/two.mp3.gif"), gif);
    EXPECT_FALSE(FileExists(covers + "/bare.mp3.gif")) << "files without a picture are passed over";
    EXPECT_NE(r.err.find("3 files: 2 written, 1 without a picture; none failed"), std::string::npos) << r.err;

    const std::string tags = dir.file("tags");
    ASSERT_EQ(Run({"export-tag", "-r", lib, "-d", tags, "-q"}).status, 0);
    EXPECT_EQ(ReadFile(tags + "/a/one.mp3.id3"), LeadingTag(ReadFile(lib + "/a/one.mp3")));

    // The same name from two places would collide: the second is refused.
    const RunResult clash =
        Run({"export-tag", "-d", tags, lib + "/a/one.mp3", Put("one.mp3", ReadFile(SamplePath()))});
    EXPECT_EQ(clash.status, 1);
    EXPECT_NE(clash.err.find("is taken by " + lib + "/a/one.mp3"), std::string::npos) << clash.err;
    EXPECT_EQ(Run({"extract-picture", lib + "/two.mp3"}).status, 2) << "one file needs an output";
}

} // namespace
} // namespace tooltest
