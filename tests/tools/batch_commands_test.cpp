// Whole-library runs: which files -r picks and in what order, parallel runs
// printing what serial runs print, the summary line, outputs named after
// inputs, `check`, and the exit statuses (usage errors write nothing).

#include "support/test_support.h"
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
        for (const char *sub : {"", "/b", "/b/deep"}) MakeDirectory(lib + sub);
        const Bytes sample = ReadFile(SamplePath());
        WriteFile(lib + "/a.mp3", sample);
        WriteFile(lib + "/UPPER.MP3", Concat({FakeAudio(2), TagV1("Old Title", "", "", 17, 4)})); // ID3v1 only
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
// key, in a fixed order; an ID3v1 tag stands in for a missing ID3v2 tag.
// Three workers print byte for byte what one prints, as text and as JSON.
TEST_F(BatchTest, ShowOverALibraryInInputOrder) {
    const std::string lib = MakeLibrary();
    RunResult r;
    for (const char *format : {"--progress-delay=0", "--json"}) {
        SCOPED_TRACE(format);
        const RunResult one = Run({"show", format, SamplePath(), "-r", lib, dir.file("missing.mp3"), lib, "-j", "1"});
        r = Run({"show", format, SamplePath(), "-r", lib, dir.file("missing.mp3"), lib, "-j", "3"});
        EXPECT_EQ(r.status, one.status);
        EXPECT_EQ(r.out, one.out);
        EXPECT_EQ(r.err, one.err);
        EXPECT_EQ(r.err.find('\r'), std::string::npos) << "no progress bar off a terminal";
    }
    // From here on, r is the JSON run with three workers.
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("tagmill: 10 files: 3 with ID3v2, 4 with ID3v1; 2 failed (1 E_FILE_NOT_FOUND, 1 directory)"),
              std::string::npos)
        << r.err;
    std::vector<std::string> expected = {SamplePath()};
    for (const char *name : {"UPPER.MP3", "a.mp3", "b/deep/noext", "b/deep/stream.bin", "b/form.dat", "b/song.aiff",
                             "empty.mp3"})
        expected.push_back(lib + "/" + name);
    const nlohmann::ordered_json docs = nlohmann::ordered_json::parse(r.out);
    std::vector<std::string> files;
    for (const auto &doc : docs) files.push_back(doc["file"]);
    EXPECT_EQ(files, expected);
    const nlohmann::ordered_json v1Only = {
        {"file", lib + "/UPPER.MP3"}, {"version", nullptr},
        {"strings", {{"title", {"Old Title"}}, {"track", {"4"}}, {"genre", {"(17)"}}}},
        {"date", nullptr}, {"year", nullptr}, {"pictures", json::array()}, {"music_id", nullptr},
        {"objects", json::array()}, {"user_strings", json::array()}};
    EXPECT_EQ(docs[1].dump(), v1Only.dump());
}

// `set` changes the audio among its inputs and refuses the rest, writing
// nothing to them; with --out-dir, each output is named after its input's
// path below its -r directory, and files without a picture are passed over.
TEST_F(BatchTest, SetThenExtractOverALibrary) {
    const std::string lib = MakeLibrary();
    const Bytes gif = ImageBytes("gif", 90);
    const RunResult r = Run({"set", lib + "/b", lib + "/notes.txt", lib + "/empty.mp3", "-r", lib + "/b", "-j", "4",
                             "--album", "Batch", "--picture", Put("c.gif", gif)});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(lib + "/b: is a directory, not an audio file; nothing written"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("7 files: 4 changed; 3 failed (1 directory, 2 not audio)"), std::string::npos) << r.err;
    for (const json &doc : RunJson({"show", "--json", "-q", "-r", lib + "/b"}))
        EXPECT_EQ(doc["strings"]["album"], json({"Batch"})) << doc["file"];
    EXPECT_EQ(ReadFile(lib + "/notes.txt"), Ascii("hello\n"));
    EXPECT_TRUE(ReadFile(lib + "/empty.mp3").empty());
    // A change that fits the padding waits in the run's batch; the batch
    // leaves every file changed and no journal behind.
    ASSERT_EQ(Run({"set", "-q", "-r", lib + "/b", "-j", "4", "--album", "Batch 2"}).status, 0);
    for (const json &doc : RunJson({"show", "--json", "-q", "-r", lib + "/b"}))
        EXPECT_EQ(doc["strings"]["album"], json({"Batch 2"})) << doc["file"];
    for (const char *name : {"/b/.song.aiff", "/b/deep/.noext", "/b/deep/.stream.bin", "/b/.form.dat"})
        EXPECT_FALSE(FileExists(lib + name + ".tagmill-journal")) << name;

    const std::string covers = dir.file("covers");
    const RunResult extract = Run({"extract-picture", "-r", lib, "--out-dir", covers});
    EXPECT_EQ(extract.status, 1) << "the empty .mp3 file fails";
    EXPECT_EQ(ReadFile(covers + "/b/song.aiff.gif"), gif);
    EXPECT_EQ(ReadFile(covers + "/b/deep/noext.gif"), gif);
    EXPECT_FALSE(FileExists(covers + "/a.mp3.gif")) << "files without a picture are passed over";
    EXPECT_NE(extract.err.find("7 files: 4 written, 2 without a picture; 1 failed (1 not audio)"), std::string::npos)
        << extract.err;
    EXPECT_EQ(Run({"export-tag", "-r", lib, "-d", dir.file("tags"), "-q"}).status, 1);
    EXPECT_EQ(ReadFile(dir.file("tags/b/deep/noext.id3")), LeadingTag(ReadFile(lib + "/b/deep/noext")));
}

// Every finding is one line on standard output, in input order; a good file
// adds none, and nothing is written.
TEST_F(BatchTest, CheckListsBrokenFilesWithTheirReason) {
    // A 40-byte ID3v2.3 tag holding `body`, then padding.
    auto tag40 = [](const Bytes &body) { return Concat({Id3Header(3, 0, 0, 40), body, Bytes(40 - body.size(), 0)}); };
    const Bytes title = Frame23("TIT2", Concat({Bytes{0}, Ascii("ok")}));
    Bytes overrun = tag40(Frame23("TPE1", Bytes{0, 'x'}));
    overrun[10 + 7] = 200; // TPE1 claims 200 bytes in a 40-byte tag
    struct Case {
        const char *name;
        Bytes bytes;
        const char *finding; // empty: nothing to report
    } cases[] = {
        {"good.mp3", Concat({tag40(title), FakeAudio(2)}), ""},
        {"cut.mp3", Concat({Id3Header(3, 0, 0, 5000), title, Bytes(100, 0)}),
         "the ID3v2 tag at offset 0 declares 5010 bytes, but the file ends after 123"},
        {"overrun.mp3", overrun, "frame TPE1 at tag offset 10 claims 200 bytes, more than the tag has left"},
        {"picture.mp3", tag40(Frame23("APIC", Ascii("\x05image/png"))),
         "frame APIC at tag offset 10 cannot be decoded: 0x80004005 E_FAIL (the operation failed)"},
        {"notes.txt", Ascii("words"), "not an MP3 or AIFF file (no ID3 tag, no MPEG audio frames)"},
    };
    std::vector<std::string> args = {"check"};
    std::string expected;
    for (const Case &c : cases) {
        args.push_back(Put(c.name, c.bytes));
        if (*c.finding) expected += args.back() + ": " + c.finding + "\n";
    }
    const RunResult r = Run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, "tagmill: 5 files: 4 with ID3v2, 0 with ID3v1; 4 with problems (1 tag past end, "
                     "1 bad frame layout, 1 undecodable frame, 1 not audio)\n");
    for (const Case &c : cases) EXPECT_EQ(ReadFile(dir.file(c.name)), c.bytes) << "check never writes";
}

TEST_F(BatchTest, ExitStatuses) {
    const std::string song = CopySample();
    struct Case {
        std::vector<std::string> args;
        int status;
        const char *summary = nullptr; // the summary line, when the run prints one
    } cases[] = {
        {{"--help"}, 0},
        // A missing root is one of the files, and one that failed.
        {{"show", "-r", dir.file("nowhere")}, 1,
         "tagmill: 1 file: 0 with ID3v2, 0 with ID3v1; 1 failed (1 not a directory)\n"},
        // The same output name from two inputs: the second is refused.
        {{"export-tag", "-d", dir.file("tags"), SamplePath(), CopySample("sample.mp3")}, 1,
         "tagmill: 2 files: 1 written, 0 without an ID3v2 tag; 1 failed (1 name clash)\n"},
        {{"build-tag", "--title", "t", dir.path()}, 1}, // cannot write over a directory
        {{"extract-picture", Put("bare.mp3", FakeAudio(2)), dir.file("none")}, 1}, // no picture in the one file
        {{"show", "--bogus", SamplePath()}, 2},
        {{"info"}, 2},                          // nothing to work on
        {{"extract-picture", SamplePath()}, 2}, // one file needs an output
        // Edit options are checked before any file is opened.
        {{"set", song}, 2}, // nothing to change
        {{"set", song, "--date", "2019-02-30"}, 2},
        {{"set", song, "--year", "2019", "--date", "2019-01-01"}, 2},
        {{"set", song, "--title", "x", "--remove", "title"}, 2},
        {{"set", song, "--picture", Put("notes.txt", Ascii("not an image at all"))}, 2},
        {{"set", song, "--picture", Put("p.png", ImageBytes("png")), "--remove-picture"}, 2},
    };
    for (const Case &c : cases) {
        const RunResult r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << ::testing::PrintToString(c.args) << "\n" << r.err;
        EXPECT_TRUE(!c.summary || r.err.find(c.summary) != std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadFile(song), ReadFile(SamplePath())) << "a usage error writes nothing";
    EXPECT_FALSE(FileExists(dir.file("none")));
}

} // namespace
} // namespace tooltest
