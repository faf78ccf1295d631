// A commit that dies while its rewritten file replaces the original: a
// process killed at any moment leaves the original or the committed file,
// never a blend, with the temporary directory on the music file's file system
// and on another one (the temporary file is made beside the music file either
// way); and a directory that refuses new files. A step of the move that fails
// is tested with the move itself (tests/platform) and with the other failures
// of a commit (commit faults).
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <random>

#include "support/crash_support.h"

using namespace testsupport;
using namespace tagmill;

namespace {

// The music file lives in dirs.home; dirs.second is the temporary directory.
std::string SongPath(const DirPair &dirs) { return dirs.home->file("song.mp3"); }

Bytes Song(size_t audioFrames) {
    const FrameList frames = {{"TIT2", Latin1Text("Old title", true)}, {"TPE1", Latin1Text("Artist", true)}};
    return Concat({TagV2(3, frames, 200), FakeAudio(audioFrames), TagV1("Old title")});
}

// Opens for reading and writing (ID3v1 too), puts a new title unless told
// not to, and closes; the result of the first call that fails. The title
// outgrows the tag's padding, so the commit rewrites the file and moves it
// into place.
long PutTitleAndClose(const std::string &path, bool put = true) {
    CTagmill t;
    long hr = t.Open2(Widen(path), 2, true);
    if (hr == S_OK && put) hr = t.PutString(4615, {std::wstring(1500, L'n')}); // outgrows the padding
    const long closed = t.Close();
    return hr == S_OK ? closed : hr;
}

// The child's commit: the song, the temporary directory, and whether to put
// a new title (else it only rewrites the file as this library writes it).
int CommitAsChild(const ChildArgs &args) {
    ScopedTmpDir tmp(args[1]);
    return PutTitleAndClose(args[0], args[2] == "put") == S_OK ? 0 : 1;
}
KILL_TEST_CHILD(CrashSafety, CommitAsChild)

// Starts a child's commit of a new title and returns once its rewrite has
// begun, i.e. its temporary file is there beside the song (or after 5 s):
// starting a process takes long on Windows, and a kill before the rewrite
// proves nothing.
std::unique_ptr<Child> StartCommit(const DirPair &dirs) {
    auto child = std::make_unique<Child>("CrashSafety", CommitAsChild, ChildArgs{SongPath(dirs), dirs.second, "put"});
    PollUntil([&] { return !child->started() || !StagingLeftovers(dirs.home->path()).empty(); }, 5);
    return child;
}

// A 20 MB song is committed by a child that is killed after a random delay
// spread over the rewrite's and the move's duration. The file must then be
// the original or the committed file (ID3v1 fields included: they are written
// into the rewritten file before it moves). The rewrite's temporary file
// beside the song is left when the kill comes before its rename, which
// nothing can prevent; after the rename nothing may be left.
TEST(CrashSafety, KilledCommitLeavesOldOrNewFile) {
    std::mt19937 random(std::random_device{}());
    ForEachFileSystemLayout([&random](const DirPair &dirs) {
        const std::string path = SongPath(dirs), &tmp = dirs.second;
        // The original as this library writes it, so that the ID3v1 fields
        // that the commit rewrites unchanged come out byte for byte the same.
        WriteFile(path, Song(50000));
        ASSERT_EQ(0, Child("CrashSafety", CommitAsChild, {path, tmp, "keep"}).Wait());
        const Bytes original = ReadFile(path);
        ASSERT_GT(original.size(), 20000000u);
        auto child = StartCommit(dirs);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(0, child->Wait());
        const auto duration = std::chrono::steady_clock::now() - start;
        const Bytes committed = ReadFile(path);

        const int kRounds = 16;
        for (int round = 0; round < kRounds; ++round) {
            WriteFile(path, original);
            const double share = (round + std::uniform_real_distribution<double>(0, 1)(random)) / kRounds;
            const auto delay = std::chrono::duration_cast<std::chrono::microseconds>(duration * 1.2 * share);
            child = StartCommit(dirs);
            ASSERT_TRUE(child->started());
            child->Kill(delay);

            const Bytes after = ReadFile(path);
            const int kind = after == original ? 0 : after == committed ? 1 : -1;
            EXPECT_NE(-1, kind) << "a blend after a kill at " << delay.count() << " us";
            for (const std::string &name : StagingLeftovers(dirs.home->path())) {
                EXPECT_EQ(0, kind) << "temporary file " << name << " left after a kill at " << delay.count() << " us";
                std::remove(dirs.home->file(name).c_str());
            }
            for (const std::string &name : TempFilesWithPrefix(tmp)) std::remove((tmp + "/" + name).c_str());
        }
    });
}

#ifndef _WIN32
// A song whose directory refuses new files (the song itself writable) is
// rewritten through $TMPDIR and then written over in place, with the same
// bytes as a rewrite beside it, which needs no $TMPDIR at all. Run in a child
// that gives up root, since root may write anywhere.
TEST(CrashSafety, LockedDirectoryFallsBackToTheTemporaryDirectory) {
    TempDir dir;
    const std::string locked = dir.file("locked"), tmp = dir.file("tmp"), path = locked + "/song.mp3";
    ASSERT_TRUE(MakeDirectory(locked) && MakeDirectory(tmp));
    WriteFile(path, Song(700));
    WriteFile(dir.file("free.mp3"), Song(700));
    ASSERT_EQ(0, Child("CrashSafety", CommitAsChild, {dir.file("free.mp3"), dir.file("none"), "put"}).Wait());
    const bool root = geteuid() == 0;
    chmod(dir.path().c_str(), 0755);
    chmod(locked.c_str(), root ? 0755 : 0555);
    chmod(path.c_str(), 0666);
    chmod(tmp.c_str(), 0777);
    const pid_t child = fork();
    if (child == 0)
        _exit(root && (setgid(65534) != 0 || setuid(65534) != 0) ? 2 : CommitAsChild({path, tmp, "put"}));
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    chmod(locked.c_str(), 0755);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadFile(dir.file("free.mp3")), ReadFile(path));
    EXPECT_TRUE(TempFilesWithPrefix(tmp).empty());
}
#endif

} // namespace
