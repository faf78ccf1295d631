// Whole-library runs: which files -r picks and in what order, parallel runs
// printing what serial runs print, the summary line, outputs named after
// inputs, `check`, and the exit statuses.
#include <sys/stat.h>

#include "tool_fixture.h"

namespace tooltest {
namespace {

using namespace testsupport;
using nlohmann::json;

class BatchTest : public ToolTest {
protected:
    // lib/ with audio files under several names and kinds, and files that are not audio.
    std::string MakeLibrary() {
        const std::string lib = dir.file("lib");
        mkdir(lib.c_str(), 0755);
        mkdir((lib + "/b").c_str(), 0755);
        mkdir((lib + "/b/deep").c_str(), 0755);
        const Bytes sample = ReadFile(SamplePath());
        WriteFile(lib + "/a.mp3", sample);
        WriteFile(lib + "/UPPER.MP3", FakeAudio(2));
        WriteFile(lib + "/b/song.aiff", Aiff());
        WriteFile(lib + "/b/deep/noext", sample);          // ID3 header
        WriteFile(lib + "/b/deep/stream.bin", FakeAudio(2)); // MPEG sync at 0
        WriteFile(lib + "/b/form.dat", Aiff());             // FORM....AIFF
        WriteFile(lib + "/b/cover.jpg", ImageBytes("jpeg"));
        WriteFile(lib + "/notes.txt", Ascii("hello\n"));
        WriteFile(lib + "/empty.mp3", {});                  // picked by name; not audio
        return lib;
    }
};

// Files given directly come first, then the walk in byte order of the names;
// audio is picked by extension (any case) or by its first bytes. Inputs that
// fail are reported and left out of the JSON, and every document has every
// key, in a fixed order, even for a file with nothing to show.
TEST_F(BatchTest, ShowOverALibraryInInputOrder) {
    const std::string lib = MakeLibrary();
    const std::string missing = dir.file("missing.mp3");
    const RunResult r = Run({"show", "--json", SamplePath(), "-r", lib, missing, lib});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(missing + ": cannot open: 0x80040412"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(lib + ": is a directory"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("tagmill: 10 files: 3 with ID3v2, 3 with ID3v1; 2 failed (1 E_FILE_NOT_FOUND, 1 directory)"),
              std::string::npos)
        << r.err;
    const std::vector<std::string> expected = {SamplePath(),           lib + "/UPPER.MP3",
                                               lib + "/a.mp3",         lib + "/b/deep/noext",
                                               lib + "/b/deep/stream.bin", lib + "/b/form.dat",
                                               lib + "/b/song.aiff",   lib + "/empty.mp3"};
    const nlohmann::ordered_json docs = nlohmann::ordered_json::parse(r.out);
    std::vector<std::string> files;
    for (const auto &doc : docs) files.push_back(doc["file"]);
    EXPECT_EQ(files, expected);
    const nlohmann::ordered_json bare = {
        {"file", lib + "/UPPER.MP3"}, {"version", nullptr},        {"strings", json::object()},
        {"date", nullptr},            {"year", nullptr},           {"pictures", json::array()},
        {"music_id", nullptr},        {"objects", json::array()}, {"user_strings", json::array()}};
    EXPECT_EQ(docs[1].dump(), bare.dump());
    const RunResult two = Run({"info", SamplePath(), lib + "/a.mp3"});
    EXPECT_NE(two.err.find("tagmill: 2 files: 2 with ID3v2, 2 with ID3v1; none failed"), std::string::npos) << two.err;
}

TEST_F(BatchTest, ParallelRunsPrintWhatSerialRunsPrint) {
    const std::string lib = MakeLibrary();
    for (const char *format : {"--json", "--progress-delay=0"}) {
        SCOPED_TRACE(format);
        const RunResult one = Run({"show", format, SamplePath(), "-r", lib, dir.file("missing"), lib, "-j", "1"});
        const RunResult three = Run({"show", format, SamplePath(), "-r", lib, dir.file("missing"), lib, "-j", "3"});
        EXPECT_EQ(three.status, one.status);
        EXPECT_EQ(three.out, one.out);
        EXPECT_EQ(three.err, one.err);
        EXPECT_EQ(one.err.find('\r'), std::string::npos) << "no progress bar off a terminal";
    }
}

TEST_F(BatchTest, SetOverALibraryChangesAudioAndRefusesTheRest) {
    const std::string lib = MakeLibrary();
    const RunResult r = Run({"set", lib + "/b", lib + "/notes.txt", "-r", lib, "-j", "4", "--album", "Batch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(lib + "/b: is a directory, not an audio file; nothing written"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(lib + "/empty.mp3: not an MP3 or AIFF file"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("9 files: 6 changed; 3 failed (1 directory, 2 not audio)"), std::string::npos) << r.err;
    for (const json &doc : RunJson({"show", "--json", "-q", "-r", lib})) {
        if (doc["file"] == lib + "/empty.mp3") continue;
        EXPECT_EQ(doc["strings"]["album"], json({"Batch"})) << doc["file"];
    }
    EXPECT_EQ(ReadFile(lib + "/notes.txt"), Ascii("hello\n"));
    EXPECT_TRUE(ReadFile(lib + "/empty.mp3").empty());
    const Bytes aiff = ReadFile(lib + "/b/song.aiff");
    EXPECT_EQ(Bytes(aiff.begin() + 4, aiff.begin() + 8), Be32(static_cast<uint32_t>(aiff.size() - 8)))
        << "the form size covers the new ID3 chunk";
}

TEST_F(BatchTest, OutDirNamesOutputsAfterInputs) {
    const std::string lib = MakeLibrary();
    const Bytes gif = ImageBytes("gif", 90);
    ASSERT_EQ(Run({"set", lib + "/a.mp3", lib + "/b/deep/noext", "--picture", Put("c.gif", gif)}).status, 0);
    const std::string covers = dir.file("covers");
    const RunResult r = Run({"extract-picture", "-r", lib, "--out-dir", covers});
    EXPECT_EQ(r.status, 1) << "the empty .mp3 file fails";
    EXPECT_EQ(ReadFile(covers + "/a.mp3.gif"), gif);
    EXPECT_EQ(ReadFile(covers + "/b/deep/noext.gif"), gif);
    EXPECT_FALSE(FileExists(covers + "/UPPER.MP3.gif")) << "files without a picture are passed over";
    EXPECT_NE(r.err.find("7 files: 2 written, 4 without a picture; 1 failed (1 not audio)"), std::string::npos)
        << r.err;

    const std::string tags = dir.file("tags");
    EXPECT_EQ(Run({"export-tag", "-r", lib, "-d", tags, "-q"}).status, 1);
    EXPECT_EQ(ReadFile(tags + "/b/deep/noext.id3"), LeadingTag(ReadFile(lib + "/b/deep/noext")));

    // The same name from two places would collide: the second is refused.
    const RunResult clash = Run({"export-tag", "-d", tags, lib + "/a.mp3", CopySample("a.mp3")});
    EXPECT_EQ(clash.status, 1);
    EXPECT_NE(clash.err.find("is taken by " + lib + "/a.mp3"), std::string::npos) << clash.err;
}

TEST_F(BatchTest, CheckListsBrokenFilesWithTheirReason) {
    // A 40-byte ID3v2.3 tag holding `body`, then padding.
    auto tag40 = [](const Bytes &body) { return Concat({Id3Header(3, 0, 0, 40), body, Bytes(40 - body.size(), 0)}); };
    const Bytes title = Frame23("TIT2", Concat({Bytes{0}, Ascii("ok")}));
    Bytes overrun = tag40(Frame23("TPE1", Bytes{0, 'x'}));
    overrun[10 + 7] = 200; // TPE1 claims 200 bytes in a 40-byte tag
    struct Case {
        const char *name;
        Bytes bytes;
        const char *reason; // null: nothing to report
    } cases[] = {
        {"good.mp3", Concat({tag40(title), FakeAudio(2)}), nullptr},
        {"cut.mp3", Concat({Id3Header(3, 0, 0, 5000), title, Bytes(100, 0)}),
         "the ID3v2 tag at offset 0 declares 5010 bytes, but the file ends after "},
        {"junk.mp3", tag40(Concat({title, Ascii("\x01\x02zz")})), "neither a frame header nor padding"},
        {"overrun.mp3", overrun, "frame TPE1 at tag offset 10 claims 200 bytes, more than the tag has left"},
        {"encoding.mp3", tag40(Frame23("TALB", Ascii("\x07x"))),
         "frame TALB at tag offset 10 has the unknown text encoding 7"},
        {"picture.mp3", tag40(Frame23("APIC", Ascii("\x05image/png"))),
         "frame APIC at tag offset 10 cannot be decoded: 0x80004005"},
        {"future.mp3", Concat({Id3Header(5, 0, 0, 20), Bytes(20, 0), FakeAudio(2)}),
         "unrecognised ID3v2 version 2.5.0"},
        {"notes.txt", Ascii("words"), "not an MP3 or AIFF file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Put(c.name, c.bytes);
        const RunResult r = Run({"check", path});
        EXPECT_EQ(r.status, c.reason ? 1 : 0) << r.out << r.err;
        if (c.reason) {
            EXPECT_EQ(r.out.rfind(path + ": ", 0), 0u) << r.out;
            EXPECT_NE(r.out.find(c.reason), std::string::npos) << r.out;
        } else {
            EXPECT_TRUE(r.out.empty()) << r.out;
        }
        EXPECT_EQ(ReadFile(path), c.bytes) << "check never writes";
    }
    const RunResult all = Run({"check", "-r", dir.path()});
    EXPECT_NE(all.err.find("7 files: 6 with ID3v2, 0 with ID3v1; 6 with problems"), std::string::npos) << all.err;
}

TEST_F(BatchTest, ExitStatuses) {
    struct Case {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"--help"}, 0},
        {{"set", "--help"}, 0},
        {{"check", "-j", "0", SamplePath()}, 0},
        {{"info", dir.file("missing.mp3")}, 1},
        {{"show", "-r", dir.file("nowhere")}, 1},       // a missing root is a failed input
        {{"build-tag", "--title", "t", dir.path()}, 1}, // cannot write over a directory
        {{"show", "--bogus", SamplePath()}, 2},
        {{"info"}, 2},              // nothing to work on
        {{"set", SamplePath()}, 2}, // nothing to change
        {{"extract-picture", SamplePath()}, 2},                   // one file needs an output
        {{"export-tag", "-r", dir.path(), dir.file("x.id3")}, 2}, // -r needs --out-dir
        {{"build-tag", dir.file("x.id3")}, 2},                    // nothing to put in the tag
    };
    for (const Case &c : cases) {
        const RunResult r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << ::testing::PrintToString(c.args) << "\n" << r.err;
    }
}

TEST_F(BatchTest, ShowOverTheCorpusInParallelGivesValidJson) {
    if (!CorpusAvailable()) GTEST_SKIP() << "corpus not found at " << CorpusPath("");
    const RunResult r = Run({"show", "-r", CorpusPath(""), "--json", "-j", "2"});
    ASSERT_TRUE(r.status == 0 || r.status == 1) << r.status << "\n" << r.err;
    const json doc = json::parse(r.out);
    ASSERT_TRUE(doc.is_array());
    EXPECT_GT(doc.size(), 40u);
    for (const json &file : doc) EXPECT_TRUE(file.contains("user_strings")) << file.dump();
    EXPECT_EQ(Run({"check", "-r", CorpusPath(""), "-j", "2"}).status, 1) << "the corpus has broken files";
}

} // namespace
} // namespace tooltest
