// The commands that write: `set` (what it writes reads back through `show`,
// the ID3v1 tag follows unless --no-v1), and build-tag, extract-picture and
// export-tag on one file. Usage errors and the files `set` refuses are covered
// with the library runs.
#include "tool_fixture.h"

namespace tooltest {
namespace {

using namespace testsupport;
using nlohmann::json;

TEST_F(ToolTest, SetWritesWhatShowReadsBack) {
    const std::string path = CopySample();
    const RunResult r = Run({"set", path, "--title", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x98\x83", "--artist", "Someone",
                             "--genre", "Rock", "--track", "3/12", "--disc", "1/2", "--composer", "C",
                             "--isrc", "XX0000000001", "--copyright", "(c) nobody", "--encoded-by", "hand",
                             "--band", "B", "--album-artist-sort", "BS", "--composer-sort", "CS", "--artist-url",
                             "http://a.example", "--artist-url", "http://b.example", "--date", "2019-05-03"});
    ASSERT_EQ(r.status, 0) << r.err;
    json expected = {
        {"title", {"Gr\xC3\xBC\xC3\x9F" "e \xE2\x98\x83"}}, {"track", {"3/12"}}, {"track2", {"3/12"}},
        {"isrc", {"XX0000000001"}}, {"genre", {"Rock"}}, {"copyright", {"(c) nobody"}},
        {"album", {"\xC3\x89tudes for Silence"}}, {"artist", {"Someone"}},
        {"artist_url", {"http://a.example", "http://b.example"}}, {"composer", {"C"}},
        {"encoded_by", {"hand"}}, {"disc", {"1/2"}}, {"disc2", {"1/2"}}, {"band", {"B"}},
        {"album_artist_sort", {"BS"}}, {"composer_sort", {"CS"}},
    };
    json doc = RunJson({"show", "--json", path})[0];
    EXPECT_EQ(doc["strings"], expected);
    EXPECT_EQ(doc["year"], "2019");
    // The ID3v1 title is Latin-1: the snowman narrows to '?'.
    const Bytes withV1 = ReadFile(path);
    EXPECT_EQ(Bytes(withV1.end() - 125, withV1.end() - 117), Concat({Ascii("Gr\xFC\xDF" "e ?"), Bytes{0}}));

    // The picture's type comes from its first bytes, not from its name, and a
    // new picture replaces the one there.
    for (const char *format : {"jpeg", "gif", "webp", "png"}) {
        SCOPED_TRACE(format);
        const std::string image = Put("image.bin", ImageBytes(format, 300));
        ASSERT_EQ(Run({"set", path, "--no-v1", "--title", "New", "--picture", image}).status, 0);
        EXPECT_EQ(RunJson({"show", "--json", path})[0]["pictures"][0]["mime"], std::string("image/") + format);
    }
    EXPECT_TRUE(std::equal(withV1.end() - 128, withV1.end(), ReadFile(path).end() - 128)) << "--no-v1";

    ASSERT_EQ(Run({"set", path, "--remove-picture", "--remove", "date", "--remove", "genre"}).status, 0);
    doc = RunJson({"show", "--json", path})[0];
    expected.erase("genre");
    expected["title"] = {"New"};
    EXPECT_EQ(doc["strings"], expected) << "other properties stay";
    EXPECT_EQ(doc["pictures"], json::array());
    EXPECT_TRUE(doc["date"].is_null() && doc["year"].is_null()) << doc.dump();
}

// A tag built alone is the tag and nothing else; put in front of audio, its
// picture and the tag itself come back out byte for byte.
TEST_F(ToolTest, BuildTagThenExtractPictureAndExportTag) {
    const Bytes png = ImageBytes("png", 5000);
    const std::string image = Put("c.png", png), built = dir.file("built.id3");
    ASSERT_EQ(Run({"build-tag", "--title", "Built", "--date", "2001-02-03", "--picture", image, built}).status, 0);
    const Bytes tag = ReadFile(built);
    EXPECT_EQ(tag, LeadingTag(tag));
    const json doc = RunJson({"show", "--json", built})[0];
    EXPECT_EQ(doc["version"], "2.3");
    EXPECT_EQ(doc["strings"], json({{"title", {"Built"}}}));
    EXPECT_EQ(doc["date"], "2001-02-03");

    const std::string song = Put("song.mp3", Concat({tag, FakeAudio(2)}));
    const RunResult r = Run({"extract-picture", song, dir.file("out.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.empty()) << "one file: silent on success";
    EXPECT_EQ(ReadFile(dir.file("out.png")), png);
    ASSERT_EQ(Run({"export-tag", song, dir.file("tag.id3")}).status, 0);
    EXPECT_EQ(ReadFile(dir.file("tag.id3")), tag);
}

} // namespace
} // namespace tooltest
