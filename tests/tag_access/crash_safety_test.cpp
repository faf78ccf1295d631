// A commit that dies while its rewritten file replaces the original: a process
// killed at any moment leaves the original or the committed file, never a
// blend, with the temporary directory on the music file's file system and on
// another one. A step of the move that fails is tested with the move itself
// (tests/platform) and with the other failures of a commit (commit faults).
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
// begun, i.e. its temporary file is there (or after 5 s): starting a process
// takes long on Windows, and a kill before the rewrite proves nothing.
std::unique_ptr<Child> StartCommit(const std::string &path, const std::string &tmp) {
    auto child = std::make_unique<Child>("CrashSafety", CommitAsChild, ChildArgs{path, tmp, "put"});
    PollUntil([&] { return !child->started() || !TempFilesWithPrefix(tmp).empty(); }, 5);
    return child;
}

// A 20 MB song is committed by a child that is killed after a random delay
// spread over the rewrite's and the move's duration. The file must then be
// the original or the committed file (ID3v1 fields included: they are written
// into the rewritten file before it moves). Only a move across file systems
// stages a file beside the song: Linux names it once it is complete, right
// before renaming it over the song (it cannot link an unnamed file over
// another in one step), so a kill leaves it whole beside the original;
// Windows names it from the start, so a kill during the copy leaves part of
// it. Any other staging file left is a fault. The rewrite's own temporary
// file in the temporary directory is left when the kill comes before the
// move, which nothing can prevent.
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
        auto child = StartCommit(path, tmp);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(0, child->Wait());
        const auto duration = std::chrono::steady_clock::now() - start;
        const Bytes committed = ReadFile(path);

        const int kRounds = 16;
        for (int round = 0; round < kRounds; ++round) {
            WriteFile(path, original);
            const double share = (round + std::uniform_real_distribution<double>(0, 1)(random)) / kRounds;
            const auto delay = std::chrono::duration_cast<std::chrono::microseconds>(duration * 1.2 * share);
            child = StartCommit(path, tmp);
            ASSERT_TRUE(child->started());
            child->Kill(delay);

            const Bytes after = ReadFile(path);
            const int kind = after == original ? 0 : after == committed ? 1 : -1;
            EXPECT_NE(-1, kind) << "a blend after a kill at " << delay.count() << " us";
            for (const std::string &name : StagingLeftovers(dirs.home->path())) {
                const Bytes staged = ReadFile(dirs.home->file(name));
#ifdef _WIN32
                const bool allowed = staged.size() <= committed.size() &&
                                     std::equal(staged.begin(), staged.end(), committed.begin());
#else
                const bool allowed = staged == committed;
#endif
                EXPECT_TRUE(kind == 0 && allowed)
                    << "staging file " << name << " left after a kill at " << delay.count() << " us";
                std::remove(dirs.home->file(name).c_str());
            }
            for (const std::string &name : TempFilesWithPrefix(tmp)) std::remove((tmp + "/" + name).c_str());
        }
    });
}

} // namespace
