// A commit that fails or dies while its rewritten file replaces the original:
// a refused step of the move makes Close fail with the original whole and no
// temporary or staging file left; a process killed at any moment leaves the
// original or the committed file, never a blend. Each runs with the temporary
// directory on the music file's file system and on another one.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <random>

#include "support/test_support.h"
#include "support/crash_support.h"
#include "tagmill/tagmill.h"

using namespace testsupport;
using namespace tagmill;

namespace {

constexpr long kTitle = 4615;

// The music file's directory and a temporary directory, on one file system
// or on two.
struct Setting {
    std::unique_ptr<TempDir> music, other;
    std::string tmp;
    std::string path() const { return music->file("song.mp3"); }
};

bool MakeSetting(bool crossDevice, Setting *s) {
    s->music.reset(new TempDir());
    if (!crossDevice) {
        s->tmp = s->music->file("tmp");
        return MakeDirectory(s->tmp);
    }
    const std::string root = OtherFileSystemRoot(s->music->path());
    if (root.empty()) return false;
    s->other = TempDirUnder(root);
    s->tmp = s->other->path();
    return !SameDevice(s->tmp, s->music->path());
}

const struct {
    const char *name;
    bool crossDevice;
} kSettings[] = {{"temporary directory on the same file system", false},
                 {"temporary directory on another file system", true}};

Bytes Song(size_t audioFrames) {
    const Bytes frames =
        Concat({Frame23("TIT2", Latin1Text("Old title", true)), Frame23("TPE1", Latin1Text("Artist", true))});
    return Concat({Id3Header(3, 0, 0, static_cast<uint32_t>(frames.size() + 200)), frames, Bytes(200, 0),
                   FakeAudio(audioFrames), TagV1("Old title")});
}

// Opens for reading and writing, puts a new title unless told not to, and
// closes; the result of the first call that fails.
long PutTitleAndClose(const std::string &path, bool updateV1 = true, bool put = true) {
    CTagmill t;
    long hr = t.Open2(Widen(path), 2, updateV1);
    if (hr == S_OK && put) hr = t.PutString(kTitle, {L"A new title"});
    const long closed = t.Close();
    return hr == S_OK ? closed : hr;
}

// The move's operations within a commit's: from the commit's second request
// for a unique name (the staging file) or its first flush (a rename) up to the
// reopening of the replaced file, which is the commit's last open.
std::pair<size_t, size_t> MoveSteps(const std::vector<tav_op> &ops, bool crossDevice) {
    size_t begin = 0, end = ops.size();
    if (crossDevice) {
        begin = std::find(ops.begin(), ops.end(), TAV_OP_TEMP_NAME) - ops.begin() + 1;
        begin = std::find(ops.begin() + begin, ops.end(), TAV_OP_TEMP_NAME) - ops.begin();
    } else {
        begin = std::find(ops.begin(), ops.end(), TAV_OP_FSYNC) - ops.begin();
    }
    end = ops.rend() - std::find(ops.rbegin(), ops.rend(), TAV_OP_OPEN) - 1;
    return {begin, end};
}

TEST(CrashSafety, CloseReportsEveryFailedStepOfTheMove) {
    for (const auto &setting : kSettings) {
        SCOPED_TRACE(setting.name);
        Setting s;
        if (!MakeSetting(setting.crossDevice, &s)) GTEST_SKIP() << "no second file system";
        ScopedTmpDir scopedTmp(s.tmp);
        const Bytes original = Song(700); // about 290 KB
        WriteFile(s.path(), original);
        OpRecorder trace;
        {
            ScopedFaultHook hook(RecordOp, &trace);
            ASSERT_EQ(S_OK, PutTitleAndClose(s.path()));
        }
        const Bytes committed = ReadFile(s.path());
        const auto steps = MoveSteps(trace.ops, setting.crossDevice);
        ASSERT_LT(steps.first, steps.second) << "no move found among the commit's operations";
        int failures = 0;
        for (size_t i = steps.first; i < steps.second; ++i) {
            WriteFile(s.path(), original);
            FailAtIndex plan{i};
            long hr;
            {
                ScopedFaultHook hook(FailOpAt, &plan);
                hr = PutTitleAndClose(s.path());
            }
            SCOPED_TRACE(testing::Message() << "failing operation " << plan.op << " at " << i);
            ASSERT_TRUE(plan.fired);
            EXPECT_TRUE(TempFilesWithPrefix(s.tmp).empty());
            EXPECT_TRUE(StagingLeftovers(s.music->path()).empty());
            if (plan.op == TAV_OP_UNLINK) { // the copied source could not be deleted: moved anyway
                EXPECT_EQ(S_OK, hr);
                EXPECT_EQ(committed, ReadFile(s.path()));
                continue;
            }
            ++failures;
            EXPECT_EQ(E_FAIL, hr);
            EXPECT_EQ(original, ReadFile(s.path()));
        }
        EXPECT_GE(failures, setting.crossDevice ? 6 : 2);
    }
}

#ifdef _WIN32
TEST(CrashSafety, KilledCommitLeavesOldOrNewFile) {
    GTEST_SKIP() << "kills a forked child mid-commit; Windows has no fork";
}
#else
// Commits in a child process, with the temporary directory given.
pid_t StartCommit(const std::string &path, const std::string &tmp, bool updateV1, bool put = true) {
    pid_t pid = fork();
    if (pid == 0) {
        setenv("TMPDIR", tmp.c_str(), 1);
        _exit(PutTitleAndClose(path, updateV1, put) == S_OK ? 0 : 1);
    }
    return pid;
}

bool CommitInChild(const std::string &path, const std::string &tmp, bool updateV1, bool put = true) {
    int status = 0;
    pid_t pid = StartCommit(path, tmp, updateV1, put);
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A 20 MB song is committed by a child that is killed after a random delay
// spread over the commit's duration. The file must then be the original, the
// committed file, or the committed ID3v2 tag and audio before the ID3v1 fields
// were written into it (the commit's last step, made in place once the
// rewritten file is there). A kill between naming the complete staging file
// and renaming it over the song leaves that staging file beside the original
// (Linux cannot link an unnamed file over another in one step); any other
// staging file left is a fault. The rewrite's own temporary file in the
// temporary directory is left when the kill comes before the move, which
// nothing can prevent.
TEST(CrashSafety, KilledCommitLeavesOldOrNewFile) {
    std::mt19937 random(std::random_device{}());
    for (const auto &setting : kSettings) {
        SCOPED_TRACE(setting.name);
        Setting s;
        if (!MakeSetting(setting.crossDevice, &s)) GTEST_SKIP() << "no second file system";
        // The original as this library writes it, so that the ID3v1 fields
        // that the commit rewrites unchanged come out byte for byte the same.
        WriteFile(s.path(), Song(50000));
        ASSERT_TRUE(CommitInChild(s.path(), s.tmp, true, false));
        const Bytes original = ReadFile(s.path());
        ASSERT_GT(original.size(), 20000000u);
        ASSERT_TRUE(CommitInChild(s.path(), s.tmp, false));
        const Bytes v2Only = ReadFile(s.path());
        WriteFile(s.path(), original);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(CommitInChild(s.path(), s.tmp, true));
        const auto duration = std::chrono::steady_clock::now() - start;
        const Bytes committed = ReadFile(s.path());
        ASSERT_TRUE(committed != v2Only);

        const int kRounds = 16;
        int seen[3] = {0, 0, 0}, tmpLeftovers = 0, staged = 0;
        for (int round = 0; round < kRounds; ++round) {
            WriteFile(s.path(), original);
            const double share = (round + std::uniform_real_distribution<double>(0, 1)(random)) / kRounds;
            const auto delay = std::chrono::duration_cast<std::chrono::microseconds>(duration * 1.2 * share);
            pid_t child = StartCommit(s.path(), s.tmp, true);
            ASSERT_GT(child, 0);
            usleep(static_cast<useconds_t>(delay.count()));
            kill(child, SIGKILL);
            int status = 0;
            ASSERT_EQ(child, waitpid(child, &status, 0));

            const Bytes after = ReadFile(s.path());
            const int kind = after == original ? 0 : after == v2Only ? 1 : after == committed ? 2 : -1;
            EXPECT_NE(-1, kind) << "a blend after a kill at " << delay.count() << " us";
            if (kind >= 0) ++seen[kind];
            for (const std::string &name : StagingLeftovers(s.music->path())) {
                const std::string staging = s.music->file(name);
                EXPECT_TRUE(kind == 0 && ReadFile(staging) == v2Only)
                    << "staging file " << name << " left after a kill at " << delay.count() << " us";
                ++staged;
                unlink(staging.c_str());
            }
            for (const std::string &name : TempFilesWithPrefix(s.tmp)) {
                ++tmpLeftovers;
                unlink((s.tmp + "/" + name).c_str());
            }
        }
        std::printf("[          ] %s: commit %lld ms; after %d kills: %d original, %d ID3v2 only, %d committed; "
                    "%d temporary files left in the temporary directory, %d complete staging files\n",
                    setting.name,
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(duration).count()),
                    kRounds, seen[0], seen[1], seen[2], tmpLeftovers, staged);
    }
}
#endif

} // namespace
