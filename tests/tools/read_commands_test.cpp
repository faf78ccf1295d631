// `info` and `show` on single files: where the tags are; every record kind
// `show` prints, in JSON and as text, on files whose records were put with the
// library itself; the ID3v1 fallback.
#include <functional>
#include <memory>
#include <regex>

#include "tool_fixture.h"

namespace tooltest {
namespace {

using namespace testsupport;
using nlohmann::json;

TEST_F(ToolTest, InfoDescribesTagHeaderAndId3v1) {
    // The tag bodies are padding: `info` reads the headers only.
    struct Case {
        const char *name;
        Bytes content;
        const char *kind;
        json id3v2;
        bool id3v1;
    } cases[] = {
        {"plain23.mp3", Concat({Id3Header(3, 0, 0, 100), Bytes(100, 0), FakeAudio(2)}), "mpeg",
         {{"version", "2.3"}, {"position", 0}, {"size", 100}, {"flags", json::array()}}, false},
        {"flags24.mp3", Concat({Id3Header(4, 0, 0xA0, 64), Bytes(64, 0), FakeAudio(2), Id3v1("t")}), "mpeg",
         {{"version", "2.4"}, {"position", 0}, {"size", 64}, {"flags", {"unsynchronisation", "experimental"}}}, true},
        {"junk22.mp3", Concat({Bytes(100, 0), Id3Header(2, 0, 0, 20), Bytes(20, 0), FakeAudio(2)}), "mpeg",
         {{"version", "2.2"}, {"position", 100}, {"size", 20}, {"flags", json::array()}}, false},
        {"v1only.mp3", Concat({FakeAudio(3), Id3v1("t")}), "mpeg", nullptr, true},
        {"bare.aiff", Aiff(), "aiff", nullptr, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Put(c.name, c.content);
        const json doc = RunJson({"info", "--json", path});
        ASSERT_EQ(doc.size(), 1u);
        EXPECT_EQ(doc[0], json({{"file", path}, {"kind", c.kind}, {"id3v2", c.id3v2}, {"id3v1", c.id3v1}}));
    }
    const RunResult r = Run({"info", SamplePath()});
    EXPECT_TRUE(std::regex_search(r.out, std::regex("  kind:     mpeg\n  ID3v2:    2.3\n  position: 0\n.*\n"
                                                    "  flags:    none\n  ID3v1:    present\n")))
        << r.out;
}

// The ID3v1 tag stands in for a missing ID3v2 tag; the version names the
// ID3v2 tag and stays null.
TEST_F(ToolTest, ShowFallsBackToId3v1) {
    const json doc = RunJson({"show", "--json", Put("v1.mp3", Concat({FakeAudio(3), Id3v1("Old Title")}))})[0];
    EXPECT_TRUE(doc["version"].is_null());
    EXPECT_EQ(doc["strings"]["title"], json({"Old Title"}));
}

void EditWithLibrary(const std::string &path, const std::function<void(CTagmill &)> &edit) {
    CTagmill tag;
    ASSERT_EQ(tag.Open(Widen(path), 2), tagmill::S_OK) << path;
    edit(tag);
    ASSERT_EQ(tag.Close(), tagmill::S_OK) << path;
}

std::shared_ptr<CTagmill::CPicture> PictureRecord(const Bytes &bytes, const std::wstring &mime) {
    auto picture = std::make_shared<CTagmill::CPicture>();
    static const unsigned char kNothing = 0; // an empty picture still needs a pointer
    const unsigned char *data = bytes.empty() ? &kNothing : bytes.data();
    EXPECT_EQ(picture->SetAll(data, static_cast<long>(bytes.size()), mime), tagmill::S_OK);
    return picture;
}

std::shared_ptr<CTagmill::CGeob> ObjectRecord(size_t size) {
    auto object = std::make_shared<CTagmill::CGeob>();
    const Bytes data(size, 0x42);
    EXPECT_EQ(object->SetData(data.data(), static_cast<long>(data.size())), tagmill::S_OK);
    return object;
}

std::shared_ptr<CTagmill::CUserDefinedString> UserString(const std::wstring &value, const char *language) {
    auto record = std::make_shared<CTagmill::CUserDefinedString>();
    record->SetData(value);
    if (language) record->SetLanguage(reinterpret_cast<const unsigned char *>(language));
    return record;
}

TEST_F(ToolTest, ShowCarriesEveryRecordKind) {
    const std::string path = CopySample();
    Bytes musicId(64);
    for (size_t i = 0; i < musicId.size(); ++i) musicId[i] = static_cast<uint8_t>(i);
    EditWithLibrary(path, [&](CTagmill &tag) {
        double date = 0;
        ASSERT_TRUE(CXDate::PartsToDate(2019, 5, 3, 0, 0, 0, date));
        ASSERT_EQ(tag.PutDate(5120, date), tagmill::S_OK);
        ASSERT_EQ(tag.PutBinary(4640, {PictureRecord(Ascii("abc"), L"image/png")}), tagmill::S_OK);
        auto id = std::make_shared<CTagmill::CMusicId>();
        ASSERT_EQ(id->SetData(musicId.data(), 64), tagmill::S_OK);
        ASSERT_EQ(tag.PutMusicId({id}), tagmill::S_OK);
        ASSERT_EQ(tag.PutGeob(5894, {ObjectRecord(12)}), tagmill::S_OK);
        ASSERT_EQ(tag.PutGeob(8448, {ObjectRecord(3)}), tagmill::S_OK);
        ASSERT_EQ(tag.PutUserDefinedString(4717, {UserString(L"ext \u00e9", nullptr)}), tagmill::S_OK);
        ASSERT_EQ(tag.PutUserDefinedString(9233, {UserString(L" 00000000 0210", "eng")}), tagmill::S_OK);
    });

    const json doc = RunJson({"show", "--json", path})[0];
    EXPECT_EQ(doc["date"], "2019-05-03");
    EXPECT_EQ(doc["year"], "2019");
    EXPECT_EQ(doc["pictures"], json::parse(R"([{"mime":"image/png","size":3,"sha1":"a9993e364706"}])"));
    ASSERT_TRUE(doc["music_id"].is_object()) << doc.dump();
    std::string hex;
    for (uint8_t b : musicId) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
    EXPECT_EQ(doc["music_id"]["id_hex"], hex);
    EXPECT_FALSE(doc["music_id"]["owner"].get<std::string>().empty());
    // Objects come in property order; the library gives each its row's
    // description and MIME type when it writes it.
    EXPECT_EQ(doc["objects"], json::parse(R"([
        {"property":5894,"description":"USR_MTDID","mime":"binary","size":12},
        {"property":8448,"description":"SfMarkers","mime":"","size":3}])"));
    EXPECT_EQ(doc["user_strings"], json::parse(R"([
        {"property":4717,"description":"GN_ExtData","language":null,"value":"ext \u00e9"},
        {"property":9233,"description":"iTunSMPB","language":"eng","value":" 00000000 0210"}])"));

    const RunResult text = Run({"show", path});
    ASSERT_EQ(text.status, 0) << text.err;
    for (const char *row : {R"(\n  title +4615  Silent Sample\n)", R"(\n  date +5120  2019-05-03\n)",
                            R"(\n  year +2019\n)", R"(\n  picture +4640  image/png, 3 bytes, sha1 a9993e364706\n)",
                            R"(\n  music_id +5891  \S+, id 0001020304050607\.\.\.\n)",
                            R"(\n  object +5894  USR_MTDID, binary, 12 bytes\n)",
                            R"(\n  object +8448  SfMarkers, no MIME type, 3 bytes\n)",
                            R"(\n  user_string +9233  iTunSMPB \[eng\] =  00000000 0210\n)"})
        EXPECT_TRUE(std::regex_search(text.out, std::regex(row))) << row << "\n" << text.out;
    EXPECT_EQ(text.out.find("composer"), std::string::npos) << "absent properties are left out";
}

// Digests straddling the block boundaries of SHA-1 (55/56/64 bytes of message
// in the last block) against published values.
TEST_F(ToolTest, PictureDigestMatchesKnownValues) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "da39a3ee5e6b"},
        {std::string(55, 'a'), "c1c8bbdc2279"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3b"},
        {std::string(64, 'a'), "0098ba824b5c"},
        {std::string(1000000, 'a'), "34aa973cd4c4"},
    };
    std::vector<std::string> args = {"show", "--json"};
    for (const auto &c : cases) {
        args.push_back(CopySample(std::to_string(c.first.size()) + ".mp3"));
        EditWithLibrary(args.back(), [&](CTagmill &tag) {
            ASSERT_EQ(tag.PutBinary(4640, {PictureRecord(Ascii(c.first), L"image/jpeg")}), tagmill::S_OK);
        });
    }
    const json docs = RunJson(args);
    ASSERT_EQ(docs.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].first.size());
        EXPECT_EQ(docs[i]["pictures"], json::array({{{"mime", "image/jpeg"}, {"size", cases[i].first.size()},
                                                     {"sha1", cases[i].second}}}));
    }
}

} // namespace
} // namespace tooltest
