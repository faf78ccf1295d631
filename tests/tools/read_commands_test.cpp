// `info` and `show` on single files: where the tags are; every record kind
// `show` prints, in JSON and as text, read from tags built byte by byte;
// picture digests. The ID3v1 fallback is covered with the library runs.
#include <regex>

#include "support/test_support.h"
#include "support/record_props_support.h"
#include "tag_access/music_id_owners.h"
#include "tool_fixture.h"

namespace tooltest {
namespace {

using namespace testsupport;
using nlohmann::json;

// `info` reads the headers only: the tag body here is padding, found after
// 100 bytes of junk.
TEST_F(ToolTest, InfoDescribesTagHeaderAndId3v1) {
    const std::string mp3 =
        Put("junk.mp3", Concat({Bytes(100, 0), Id3Header(4, 0, 0xA0, 64), Bytes(64, 0), FakeAudio(2), TagV1("t")}));
    const std::string aiff = Put("bare.aiff", Aiff());
    json expected = json::parse(R"([{"kind":"mpeg","id3v1":true,
        "id3v2":{"version":"2.4","position":100,"size":64,"flags":["unsynchronisation","experimental"]}},
        {"kind":"aiff","id3v2":null,"id3v1":false}])");
    expected[0]["file"] = mp3;
    expected[1]["file"] = aiff;
    EXPECT_EQ(RunJson({"info", "--json", mp3, aiff}), expected);
}

TEST_F(ToolTest, ShowCarriesEveryRecordKind) {
    // The objects are stored out of property order: `show` lists them in it.
    // The private frame backs no property: the table says so at its end.
    const std::string path = Put("all.mp3", Mp3(3, {{"TIT2", Latin1Text("Records")},
                                                   {"TCON", Latin1Text("(17)")},
                                                   {"PRIV", Concat({Ascii("owner"), Bytes{0, 1}})},
                                                   {"TYER", Latin1Text("2019")},
                                                   {"TDAT", Latin1Text("0305")},
                                                   {"APIC", ApicPayload("image/png", 3, "", Ascii("abc"))},
                                                   {"UFID", UfidPayload(tagmill::musicid::kOwner, 64)},
                                                   {"GEOB", GeobPayload("", "SfMarkers", Bytes(3, 0x42))},
                                                   {"GEOB", GeobPayload("binary", "USR_MTDID", Bytes(12, 0x42))},
                                                   {"TXXX", TxxxPayload("GN_ExtData", "ext \xE9")},
                                                   {"COMM", CommentUtf16("eng", L"iTunSMPB", L" 00000000 0210")}}));
    json expected = json::parse(R"js({"version":"2.3","strings":{"title":["Records"],"genre":["(17)"]},"date":"2019-05-03","year":"2019",
        "pictures":[{"mime":"image/png","size":3,"sha1":"a9993e364706"}],
        "music_id":{"owner":"http://musicid.tagmill.org"},
        "objects":[{"property":5894,"description":"USR_MTDID","mime":"binary","size":12},
                   {"property":8448,"description":"SfMarkers","mime":"","size":3}],
        "user_strings":[{"property":4717,"description":"GN_ExtData","language":null,"value":"ext \u00e9"},
                        {"property":9233,"description":"iTunSMPB","language":"eng","value":" 00000000 0210"}]})js");
    expected["file"] = path;
    std::string hex;
    for (int i = 0; i < 64; ++i) hex += "5a";
    expected["music_id"]["id_hex"] = hex;
    EXPECT_EQ(RunJson({"show", "--json", path})[0], expected);

    const RunResult text = Run({"show", path});
    ASSERT_EQ(text.status, 0) << text.err;
    for (const char *row : {R"(\n  title +4615  Records\n)", R"(\n  genre +4616  \(17\) Rock\n)",
                            R"(\n  date +5120  2019-05-03\n)", R"(\n  \(1 frame not listed here; tagmill frames)",
                            R"(\n  picture +4640  image/png, 3 bytes, sha1 a9993e364706\n)",
                            R"(\n  music_id +5891  http://musicid.tagmill.org, id 5a5a5a5a5a5a5a5a\.\.\.\n)",
                            R"(\n  object +8448  SfMarkers, no MIME type, 3 bytes\n)",
                            R"(\n  user_string +9233  iTunSMPB \[eng\] =  00000000 0210\n)"})
        EXPECT_TRUE(std::regex_search(text.out, std::regex(row))) << row << "\n" << text.out;
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
    for (const auto &c : cases)
        args.push_back(Put(std::to_string(c.first.size()) + ".mp3",
                           Mp3(3, {{"APIC", ApicPayload("image/jpeg", 3, "", Ascii(c.first))}})));
    const json docs = RunJson(args);
    ASSERT_EQ(docs.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(docs[i]["pictures"], json::array({{{"mime", "image/jpeg"}, {"size", cases[i].first.size()},
                                                     {"sha1", cases[i].second}}}))
            << cases[i].first.size() << " bytes";
}

} // namespace
} // namespace tooltest
