// The whole tag: `frames` against mutagen on the corpus and on layouts the
// corpus lacks; every record kind `set` writes, read back by `show` and by
// mutagen; the JSON round trip of `set --from-json`; the version, manual page
// and completion script the program prints.
#include <regex>

#include "support/record_props_support.h"
#include "support/test_support.h"
#include "tool_fixture.h"

namespace tooltest {
namespace {

using namespace testsupport;
using nlohmann::json;

// The corpus, and a tag mutagen writes with every kind of frame people read.
TEST_F(ToolTest, FramesAgreeWithMutagen) {
    if (!CorpusAvailable() || !HaveMutagen()) GTEST_SKIP() << "needs the corpus and python3-mutagen";
    const std::string script = std::string(TAGMILL_SOURCE_DIR) + "/tests/tools/mutagen_frames.py";
    const std::string written = CopySample();
    ASSERT_EQ(RunPython({script, "--write", written}).status, 0);
    const RunResult r = Run({"frames", "--json", "-q", "-r", CorpusPath(""), written});
    ASSERT_TRUE(r.status == 0 || r.status == 1) << r.err;
    EXPECT_EQ(json::parse(r.out)[0]["frames"].size(), 12u) << "given files come first";
    const RunResult compared = RunPython({script, Put("frames.json", Ascii(r.out))});
    EXPECT_EQ(compared.status, 0) << compared.out << compared.err;
    const RunResult shown = Run({"show", written});
    EXPECT_NE(shown.out.find("(8 frames not listed here; tagmill frames lists every frame)"), std::string::npos)
        << shown.out;
}

// Layouts the corpus has no example of: an object, a v2.4 frame with its own
// unsynchronisation and data length, a compressed v2.3 frame, a frame running
// past the tag; then the ID3v1 fields.
TEST_F(ToolTest, FramesDecodesEveryLayout) {
    const Bytes v24 = Concat({Id3Header(4, 0, 0, 40), Frame24("TIT2", Concat({Be32(0), Bytes{0, 'a', 0xFF, 0, 'b'}}), 0, 3),
                              Frame24("TPE1", Bytes{0, 'x'}), Bytes(3, 0)});
    Bytes overrun = v24;
    overrun[10 + 19 + 7] = 30; // TPE1 claims 30 bytes of the 13 left
    const std::string a = Put("a.mp3", Concat({Mp3(3, {{"GEOB", GeobPayload("text/plain", "notes", Ascii("hello"))},
                                                       {"TALB", Ascii("\x07\x02\x03\x04")}}),
                                                TagV1("T1", "A1", "", 17, 5)}));
    Bytes compressed = Mp3(3, {{"TIT2", Concat({Be32(99), Ascii("zzz")})}});
    compressed[10 + 9] = 0x80;
    const json docs = RunJson({"frames", "--json", a, Put("b.mp3", v24), Put("c.mp3", compressed), Put("d.mp3", overrun)});
    const json expected = json::parse(R"([
      [{"id":"GEOB","mime":"text/plain","filename":"","description":"notes","data_size":5},
       {"id":"TALB","error":"unknown text encoding 7","data_size":4}],
      [{"id":"TIT2","flags":["unsynchronisation","data_length"],"text":["a\u00ffb"]},{"id":"TPE1","text":["x"]}],
      [{"id":"TIT2","flags":["compression"],"data_size":3}],
      [{"id":"TIT2","text":["a\u00ffb"]},{"id":"TPE1","overruns":true}]])");
    ASSERT_EQ(docs.size(), expected.size());
    for (size_t f = 0; f < docs.size(); ++f)
        for (size_t i = 0; i < expected[f].size(); ++i)
            for (const auto &field : expected[f][i].items())
                EXPECT_EQ(docs[f]["frames"][i][field.key()], field.value()) << f << " " << i << " " << field.key();
    EXPECT_EQ(docs[0]["id3v1"], json::parse(R"({"title":"T1","artist":"A1","album":"","year":0,"track":5,
                                               "genre":17,"genre_name":"Rock"})"));
    EXPECT_TRUE(docs[1]["id3v1"].is_null());
}

// Each kind, then its removal; mutagen must read what `set` wrote.
TEST_F(ToolTest, SetWritesEveryRecordKind) {
    const std::string song = CopySample(), object = Put("o.bin", Bytes(300, 7));
    std::string hex;
    for (int i = 0; i < 64; ++i) hex += "c3";
    ASSERT_EQ(Run({"set", song, "--user-string", "GN_ExtData=ext \xC3\xA9", "--comment", "fra:iTunSMPB= 0000 0210",
                   "--object", "USR_MTDID=" + object + ":binary", "--music-id", hex}).status, 0);
    json doc = RunJson({"show", "--json", song})[0];
    EXPECT_EQ(doc["user_strings"], json::parse(R"([
        {"property":4717,"description":"GN_ExtData","language":null,"value":"ext \u00e9"},
        {"property":9233,"description":"iTunSMPB","language":"fra","value":" 0000 0210"}])"));
    EXPECT_EQ(doc["objects"], json::parse(R"([{"property":5894,"description":"USR_MTDID","mime":"binary","size":300}])"));
    EXPECT_EQ(doc["music_id"]["id_hex"], hex);
    if (HaveMutagen()) {
        const char *read = "import sys, mutagen.id3 as m; t = m.ID3(sys.argv[1]); print(t['TXXX:GN_ExtData'].text[0], "
                           "t['COMM:iTunSMPB:fra'].text[0], t['GEOB:USR_MTDID'].mime, len(t['GEOB:USR_MTDID'].data), "
                           "[f.data.hex() for f in t.getall('UFID')] == [sys.argv[2]])";
        const RunResult peer = RunPython({"-c", read, song, hex});
        EXPECT_EQ(peer.out, "ext \xC3\xA9  0000 0210 binary 300 True\n") << peer.err;
    }
    ASSERT_EQ(Run({"set", song, "--remove-user-string", "GN_ExtData", "--remove-comment", "iTunSMPB",
                   "--remove-object", "USR_MTDID", "--remove-music-id"}).status, 0);
    doc = RunJson({"show", "--json", song})[0];
    EXPECT_TRUE(doc["user_strings"].empty() && doc["objects"].empty() && doc["music_id"].is_null()) << doc.dump();

    // Usage errors name the option and the value, and touch nothing.
    const Bytes before = ReadFile(song);
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {"--user-string", "Mood=calm"}, {"--comment", "iTunSMPB"}, {"--object", "SfMarkers=" + object + ":a/b"},
             {"--music-id", "abc"}, {"--remove-object", "nothing"}, {"--music-id", hex, "--remove-music-id"}}) {
        std::vector<std::string> call = {"set", song};
        call.insert(call.end(), args.begin(), args.end());
        const RunResult r = Run(call);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_NE(r.err.find(args[0]), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadFile(song), before);
}

// Unedited output changes no byte of any file; edited output writes what
// changed, removes what is null and leaves absent keys alone; a value that
// cannot be written leaves its file as it was.
TEST_F(ToolTest, FromJsonRoundTrip) {
#ifdef _WIN32
    GTEST_SKIP() << "copies and checks the corpus with the build machine's cp and sha256sum";
#endif
    if (!CorpusAvailable()) GTEST_SKIP() << "corpus not found at " << CorpusPath("");
    ASSERT_EQ(std::system(("cp -r '" + CorpusPath("") + "' '" + dir.file("lib") + "'").c_str()), 0);
    const std::string lib = dir.file("lib"), listing = dir.file("lib.json");
    const RunResult shown = Run({"show", "--json", "-q", "-r", lib});
    WriteFile(listing, Ascii(shown.out));
    const RunResult applied = Run({"set", "--from-json", listing});
    EXPECT_EQ(applied.status, 0) << applied.err;
    EXPECT_NE(applied.err.find(" 0 changed, "), std::string::npos) << applied.err;
    EXPECT_EQ(std::system(("cd '" + lib + "' && sha256sum --quiet -c SHA256SUMS").c_str()), 0);

    const std::string song = lib + "/mediafile/full.mp3";
    json doc = RunJson({"show", "--json", song})[0];
    doc["strings"] = {{"title", {"New"}}, {"genre", nullptr}};
    doc["date"] = "1999-12-31";
    doc["user_strings"] = json::parse(R"([{"description":"GN_ExtData","value":"v"}])");
    WriteFile(listing, Ascii(json::array({doc}).dump()));
    ASSERT_EQ(Run({"set", "--from-json", listing}).status, 0);
    const json after = RunJson({"show", "--json", song})[0];
    EXPECT_EQ(after["strings"]["title"], json({"New"}));
    EXPECT_FALSE(after["strings"].contains("genre"));
    EXPECT_EQ(after["strings"]["album"], json({"the album"})) << "absent keys are left alone";
    EXPECT_EQ(after["date"], "1999-12-31");
    EXPECT_EQ(after["user_strings"], json::parse(R"([{"property":4717,"description":"GN_ExtData","language":null,
                                                      "value":"v"}])"));
    const Bytes before = ReadFile(song);
    WriteFile(listing, Ascii(R"([{"file":")" + song + R"(","date":"2019-02-30"}])"));
    const RunResult bad = Run({"set", "--from-json", listing});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("date: \"2019-02-30\""), std::string::npos) << bad.err;
    EXPECT_EQ(ReadFile(song), before);
}

TEST_F(ToolTest, VersionManualAndCompletion) {
    const RunResult version = Run({"--version"});
    EXPECT_TRUE(std::regex_match(version.out, std::regex(R"(tagmill \d+\.\d+\.\d+ \(library \d+\.\d+\.\d+\)\n)")))
        << version.out;
    const std::string manual = Run({"--manpage"}).out, completion = Run({"--bash-completion"}).out;
    for (const char *command : {"info", "show", "frames", "set", "check", "extract-picture", "export-tag", "build-tag"}) {
        EXPECT_NE(manual.find(std::string(".SS ") + command + "\n"), std::string::npos) << command;
        EXPECT_NE(completion.find(std::string("    ") + command + ") options=\""), std::string::npos) << command;
    }
    EXPECT_NE(manual.find("\\-\\-from\\-json"), std::string::npos);
    EXPECT_NE(completion.find("--from-json"), std::string::npos);
}

} // namespace
} // namespace tooltest
