// `show` beyond strings: date and year, pictures with their digest, the music
// ID, objects and user-defined strings, on files whose records were put with
// the library itself.
#include <memory>
#include <regex>

#include "tool_fixture.h"

namespace tooltest {
namespace {

using namespace testsupport;
using nlohmann::json;

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

TEST_F(ToolTest, ShowJsonCarriesEveryRecordKind) {
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

    const RunResult run = Run({"show", "--json", path});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::ordered_json ordered = nlohmann::ordered_json::parse(run.out)[0];
    const json doc = json::parse(ordered.dump());
    std::vector<std::string> keys;
    for (auto it = ordered.begin(); it != ordered.end(); ++it) keys.push_back(it.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"file", "version", "strings", "date", "year", "pictures", "music_id",
                                              "objects", "user_strings"}));
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
    for (const char *row : {R"(\n  date +5120  2019-05-03\n)", R"(\n  year +2019\n)",
                            R"(\n  picture +4640  image/png, 3 bytes, sha1 a9993e364706\n)",
                            R"(\n  music_id +5891  \S+, id 0001020304050607\.\.\.\n)",
                            R"(\n  object +5894  USR_MTDID, binary, 12 bytes\n)",
                            R"(\n  object +8448  SfMarkers, no MIME type, 3 bytes\n)",
                            R"(\n  user_string +9233  iTunSMPB \[eng\] =  00000000 0210\n)"})
        EXPECT_TRUE(std::regex_search(text.out, std::regex(row))) << row << "\n" << text.out;
}

TEST_F(ToolTest, ShowJsonHasEveryKeyForAnEmptyFile) {
    const std::string path = Put("bare.mp3", FakeAudio(3));
    const json doc = RunJson({"show", "--json", path})[0];
    const json expected = {{"file", path},   {"version", nullptr}, {"strings", json::object()},
                           {"date", nullptr}, {"year", nullptr},    {"pictures", json::array()},
                           {"music_id", nullptr}, {"objects", json::array()}, {"user_strings", json::array()}};
    EXPECT_EQ(doc, expected);
}

// Digests straddling the block boundaries of SHA-1 (55/56/64 bytes of message
// in the last block) against published values.
TEST_F(ToolTest, PictureDigestMatchesKnownValues) {
    struct Case {
        std::string bytes;
        const char *sha1;
    } cases[] = {
        {"", "da39a3ee5e6b"},
        {"abc", "a9993e364706"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3b"},
        {std::string(64, 'a'), "0098ba824b5c"},
        {std::string(1000000, 'a'), "34aa973cd4c4"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bytes.size());
        const std::string path = CopySample("digest.mp3");
        EditWithLibrary(path, [&](CTagmill &tag) {
            ASSERT_EQ(tag.PutBinary(4640, {PictureRecord(Ascii(c.bytes), L"image/jpeg")}), tagmill::S_OK);
        });
        const json doc = RunJson({"show", "--json", path})[0];
        ASSERT_EQ(doc["pictures"].size(), 1u) << doc.dump();
        EXPECT_EQ(doc["pictures"][0]["sha1"], c.sha1);
        EXPECT_EQ(doc["pictures"][0]["size"], c.bytes.size());
    }
}

} // namespace
} // namespace tooltest
