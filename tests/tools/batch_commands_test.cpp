// Whole-library runs: which files -r picks, parallel runs printing what serial
// runs print, the summary line, `check`, the progress bar, and every
// sub-command's exit statuses and help.
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
        WriteFile(lib + "/b/song.aiff", Aiff({}));
        WriteFile(lib + "/b/deep/noext", sample);          // ID3 header
        WriteFile(lib + "/b/deep/stream.bin", FakeAudio(2)); // MPEG sync at 0
        WriteFile(lib + "/b/form.dat", Aiff({}));           // FORM....AIFF
        WriteFile(lib + "/b/cover.jpg", ImageBytes("jpeg"));
        WriteFile(lib + "/notes.txt", Ascii("hello\n"));
        WriteFile(lib + "/empty.mp3", {});                  // picked by name; not audio
        return lib;
    }
};

std::vector<std::string> Files(const json &documents) {
    std::vector<std::string> files;
    for (const json &doc : documents) files.push_back(doc["file"]);
    return files;
}

TEST_F(BatchTest, RecursionPicksAudioByNameOrContentInNameOrder) {
    const std::string lib = MakeLibrary();
    const RunResult r = Run({"info", "--json", "-r", lib});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> expected = {lib + "/UPPER.MP3",          lib + "/a.mp3",
                                               lib + "/b/deep/noext",       lib + "/b/deep/stream.bin",
                                               lib + "/b/form.dat",         lib + "/b/song.aiff",
                                               lib + "/empty.mp3"};
    EXPECT_EQ(Files(json::parse(r.out)), expected);
    EXPECT_NE(r.err.find("tagmill: 7 files: 2 with ID3v2, 2 with ID3v1; none failed"), std::string::npos) << r.err;

    // Files given directly come first, then the walk.
    const json both = RunJson({"info", "--json", SamplePath(), "-r", lib + "/b/deep"});
    EXPECT_EQ(Files(both), (std::vector<std::string>{SamplePath(), lib + "/b/deep/noext", lib + "/b/deep/stream.bin"}));
}

TEST_F(BatchTest, ParallelRunsPrintWhatSerialRunsPrint) {
    const std::string lib = MakeLibrary();
    const std::string missing = dir.file("missing.mp3");
    for (const char *format : {"--json", "--no-progress"}) {
        const std::vector<std::string> args = {"show", format, "-r", lib, missing, lib};
        std::vector<std::string> serial = args, parallel = args;
        serial.insert(serial.end(), {"-j", "1"});
        parallel.insert(parallel.end(), {"-j", "3"});
        const RunResult one = Run(serial);
        const RunResult three = Run(parallel);
        EXPECT_EQ(one.status, 1);
        EXPECT_EQ(three.status, 1);
        EXPECT_EQ(one.out, three.out);
        EXPECT_EQ(one.err, three.err);
    }
    const RunResult r = Run({"show", "--json", "-j", "0", "-r", lib, missing, lib});
    EXPECT_EQ(json::parse(r.out).size(), 7u);
    EXPECT_NE(r.err.find("9 files: 2 with ID3v2, 2 with ID3v1; 2 failed (1 E_FILE_NOT_FOUND, 1 directory)"),
              std::string::npos)
        << r.err;
}

TEST_F(BatchTest, SetOverALibraryInParallelChangesEveryAudioFile) {
    const std::string lib = MakeLibrary();
    const Bytes notes = ReadFile(lib + "/notes.txt");
    const RunResult r = Run({"set", "-r", lib, "-j", "4", "--album", "Batch"});
    EXPECT_EQ(r.status, 1) << "the empty .mp3 file is refused";
    EXPECT_NE(r.err.find(lib + "/empty.mp3: not an MP3 or AIFF file"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("7 files: 6 changed; 1 failed (1 not audio)"), std::string::npos) << r.err;
    for (const json &doc : RunJson({"show", "--json", "-q", "-r", lib + "/b"}))
        EXPECT_EQ(doc["strings"]["album"], json({"Batch"})) << doc["file"];
    EXPECT_EQ(ReadFile(lib + "/notes.txt"), notes);
    EXPECT_TRUE(ReadFile(lib + "/empty.mp3").empty());
}

TEST_F(BatchTest, CheckListsBrokenFilesWithTheirReason) {
    const Bytes frame = Frame23("TIT2", Concat({Bytes{0}, Ascii("ok")}));
    const Bytes good = Concat({Id3Header(3, 0, 0, 40), frame, Bytes(40 - frame.size(), 0), FakeAudio(2)});
    const Bytes cut = Concat({Id3Header(3, 0, 0, 5000), frame, Bytes(100, 0)});
    const Bytes junk = Concat({Id3Header(3, 0, 0, 40), frame, Ascii("\x01\x02zz"), Bytes(40 - frame.size() - 4, 0)});
    const Bytes tooLong = Concat({Id3Header(3, 0, 0, 40), Frame23("TPE1", Bytes{0, 'x'}), Bytes(28, 0)});
    Bytes overrun = tooLong;
    overrun[10 + 7] = 200; // TPE1 claims 200 bytes in a 40-byte tag
    const Bytes badEncoding = Concat({Id3Header(3, 0, 0, 40), Frame23("TALB", Ascii("\x07x")), Bytes(28, 0)});
    const Bytes badPicture = Concat({Id3Header(3, 0, 0, 40), Frame23("APIC", Ascii("\x05image/png")), Bytes(20, 0)});
    const Bytes future = Concat({Id3Header(5, 0, 0, 20), Bytes(20, 0), FakeAudio(2)});
    struct Case {
        const char *name;
        Bytes bytes;
        const char *reason; // null: nothing to report
    } cases[] = {
        {"good.mp3", good, nullptr},
        {"cut.mp3", cut, "the ID3v2 tag at offset 0 declares 5010 bytes, but the file ends after "},
        {"junk.mp3", junk, "neither a frame header nor padding"},
        {"overrun.mp3", overrun, "frame TPE1 at tag offset 10 claims 200 bytes, more than the tag has left"},
        {"encoding.mp3", badEncoding, "frame TALB at tag offset 10 has the unknown text encoding 7"},
        {"picture.mp3", badPicture, "frame APIC at tag offset 10 cannot be decoded: 0x80004005"},
        {"future.mp3", future, "unrecognised ID3v2 version 2.5.0"},
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
        }
        else
            EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_EQ(ReadFile(path), c.bytes) << "check never writes";
    }
    const RunResult all = Run({"check", "-r", dir.path()});
    EXPECT_NE(all.err.find("7 files: 6 with ID3v2, 0 with ID3v1; 6 with problems"), std::string::npos) << all.err;
    EXPECT_EQ(Run({"check", dir.file("missing.mp3")}).status, 1);
}

TEST_F(BatchTest, ExitStatusesAndHelpOfEverySubCommand) {
    const std::string missing = dir.file("missing.mp3");
    for (const char *command : {"info", "show", "set", "check", "extract-picture", "export-tag", "build-tag"}) {
        const RunResult help = Run({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find(command), std::string::npos) << help.out;
    }
    struct Case {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"show"}, 2},                                  // nothing to work on
        {{"check", "-j", "x", SamplePath()}, 2},
        {{"show", "-r", dir.file("nowhere")}, 1},       // a missing root is a failed input
        {{"check", SamplePath()}, 0},
        {{"export-tag", SamplePath()}, 2},
        {{"export-tag", "-r", dir.path(), dir.file("x.id3")}, 2}, // -r needs --out-dir
        {{"extract-picture", missing, dir.file("x.png")}, 1},
        {{"build-tag", "--title", "t", dir.path()}, 1}, // cannot write over a directory
        {{"set", SamplePath(), "--date", "2019-01-01", "--year", "2019"}, 2},
    };
    for (const Case &c : cases) {
        const RunResult r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << ::testing::PrintToString(c.args) << "\n" << r.err;
    }
}

// Runs the program on a pseudo-terminal (standard output and error both go to
// it) and returns everything it wrote there.
std::string RunOnTerminal(const std::vector<std::string> &args) {
    std::vector<char *> argv;
    const std::string program = ToolPath();
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &arg : args) argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) return "\x01unavailable";
    if (pid == 0) {
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    std::string seen;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) break; // EIO once the child has closed its side
        seen.append(buffer, static_cast<size_t>(got));
    }
    waitpid(pid, nullptr, 0);
    close(master);
    return seen;
}

TEST_F(BatchTest, ProgressBarOnlyOnATerminal) {
    const std::string lib = MakeLibrary();
    const std::string onTerminal = RunOnTerminal({"show", "-r", lib, "--progress-delay", "0"});
    if (onTerminal == "\x01unavailable") GTEST_SKIP() << "no pseudo-terminals here";
    EXPECT_NE(onTerminal.find("7/7 files"), std::string::npos) << onTerminal;
    EXPECT_NE(onTerminal.find("files/s"), std::string::npos) << onTerminal;
    EXPECT_EQ(RunOnTerminal({"show", "-r", lib, "--progress-delay", "0", "--no-progress"}).find("files/s"),
              std::string::npos);
    EXPECT_EQ(RunOnTerminal({"show", "-r", lib}).find("files/s"), std::string::npos) << "short runs stay quiet";

    const RunResult piped = Run({"show", "-r", lib, "--progress-delay", "0"});
    EXPECT_EQ(piped.err.find("files/s"), std::string::npos) << piped.err;
    EXPECT_EQ(piped.err.find('\r'), std::string::npos) << piped.err;
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
