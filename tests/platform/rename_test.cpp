// Moving a file over another: the destination is replaced whole, keeps its
// permissions (and owner), stays reachable through its links, and no failed
// step leaves it damaged or leaves a staging file behind. Each case runs with
// the source on the destination's file system (a rename) and on another one
// (a copy staged beside the destination).
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <functional>

#include "support/crash_support.h"
#include "tagmill/platform.h"

using namespace testsupport;

namespace {

// A destination directory, and a source directory beside it or on a second
// file system.
struct Scene {
    std::unique_ptr<TempDir> dst, other;
    std::string srcDir;
    std::string src() const { return srcDir + "/src"; }
    std::string dest() const { return dst->file("dst"); }
};

int32_t Move(const std::string &from, const std::string &to) {
    return tav_rename(Widen(from).c_str(), Widen(to).c_str());
}

Bytes Pattern(size_t size, uint8_t seed) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i * 7 + seed + i / 251);
    return b;
}


// Runs body with the source beside the destination, then with the source on
// another file system (the test is skipped when the machine has none).
void ForEachLayout(const std::function<void(const Scene &)> &body) {
    for (bool crossDevice : {false, true}) {
        SCOPED_TRACE(crossDevice ? "across file systems" : "same file system");
        Scene s;
        s.dst.reset(new TempDir());
        s.srcDir = s.dst->file("from");
        if (crossDevice) {
            const std::string root = OtherFileSystemRoot(s.dst->path());
            if (root.empty()) GTEST_SKIP() << "no second file system to move across";
            s.other = TempDirUnder(root);
            s.srcDir = s.other->path();
        } else {
            ASSERT_TRUE(MakeDirectory(s.srcDir));
        }
        body(s);
        if (testing::Test::HasFatalFailure()) return;
    }
}

#ifdef _WIN32
TEST(PlatformRename, ReplacesTheDestinationWholeOrRefuses) {
    GTEST_SKIP() << "owners, permission bits, hard and symbolic links are POSIX; the Windows move has its own test";
}
#else
struct stat StatOf(const std::string &path) {
    struct stat st = {};
    EXPECT_EQ(0, lstat(path.c_str(), &st)) << path;
    return st;
}

TEST(PlatformRename, ReplacesTheDestinationWholeOrRefuses) {
    const Bytes data = Pattern(3 * (1 << 20) + 7, 1); // several copy pieces
    ForEachLayout([&](const Scene &s) {
        WriteFile(s.src(), data);
        WriteFile(s.dest(), Bytes(data.size() + 100, 0xEE));
        chmod(s.dest().c_str(), 0640);
        const bool root = geteuid() == 0;
        ASSERT_TRUE(!root || chown(s.dest().c_str(), 65534, 65534) == 0);
        EXPECT_EQ(0, Move(s.src(), s.dest()));
        EXPECT_EQ(data, ReadFile(s.dest()));
        EXPECT_FALSE(FileExists(s.src()));
        const struct stat st = StatOf(s.dest());
        EXPECT_EQ(0640u, st.st_mode & 07777);
        EXPECT_TRUE(!root || (st.st_uid == 65534 && st.st_gid == 65534));

        // Through a symbolic link: the file it names is replaced, the link stays.
        WriteFile(s.src(), Ascii("linked"));
        const std::string link = s.dst->file("link");
        ASSERT_EQ(0, symlink("dst", link.c_str()));
        EXPECT_EQ(0, Move(s.src(), link));
        EXPECT_TRUE(S_ISLNK(StatOf(link).st_mode));
        EXPECT_EQ(Ascii("linked"), ReadFile(s.dest()));

        // Refused, both files left alone: a file onto another of its own names
        // (it would vanish), a directory on either side, a missing source.
        WriteFile(s.src(), Ascii("source"));
        const std::string alias = s.dst->file("alias"), dir = s.dst->file("dir");
        ASSERT_EQ(0, ::link(s.dest().c_str(), alias.c_str()));
        ASSERT_EQ(0, mkdir(dir.c_str(), 0700));
        const std::pair<std::string, std::string> refused[] = {
            {alias, s.dest()}, {s.src(), dir}, {s.srcDir, s.dst->file("new")}, {s.srcDir + "/none", s.dest()}};
        for (const auto &move : refused) EXPECT_EQ(-1, Move(move.first, move.second)) << move.first;
        EXPECT_EQ(Ascii("linked"), ReadFile(s.dest()));
        EXPECT_EQ(Ascii("source"), ReadFile(s.src()));
        EXPECT_FALSE(FileExists(s.dst->file("new")));
        EXPECT_TRUE(StagingLeftovers(s.dst->path()).empty());
    });
}
#endif

// Every operation that a move consults the hook about is failed in turn. The
// move must then fail with both files as they were and nothing staged left,
// except for the deletion of a copied source: the move has happened by then.
TEST(PlatformRename, EveryFailedStepLeavesTheDestinationWhole) {
    const Bytes data = Pattern((1 << 20) + 3, 2), old = Pattern(5000, 3);
    ForEachLayout([&](const Scene &s) {
        OpRecorder trace;
        WriteFile(s.src(), data);
        WriteFile(s.dest(), old);
        {
            ScopedFaultHook hook(RecordOp, &trace);
            ASSERT_EQ(0, Move(s.src(), s.dest()));
        }
        ASSERT_FALSE(trace.ops.empty());
        for (size_t i = 0; i < trace.ops.size(); ++i) {
            WriteFile(s.src(), data);
            WriteFile(s.dest(), old);
            FailAtIndex plan{i};
            int32_t rc;
            {
                ScopedFaultHook hook(FailOpAt, &plan);
                rc = Move(s.src(), s.dest());
            }
            SCOPED_TRACE(testing::Message() << "failing step " << i << " (operation " << plan.op << ")");
            ASSERT_TRUE(plan.fired);
            EXPECT_TRUE(StagingLeftovers(s.dst->path()).empty());
            const bool moved = plan.op == TAV_OP_UNLINK; // only the copied source is left
            EXPECT_EQ(moved ? 0 : -1, rc);
            EXPECT_EQ(moved ? data : old, ReadFile(s.dest()));
            EXPECT_EQ(data, ReadFile(s.src()));
        }
    });
}

#ifdef _WIN32
TEST(PlatformRename, LockedDirectoryIsWrittenInPlace) {
    GTEST_SKIP() << "needs a directory whose permission bits refuse new files, and fork";
}
#else
// A directory that refuses new entries (the file itself being writable) gets
// its file overwritten in place: the same inode, the new bytes. Run in a child
// that gives up root, since root may write anywhere.
TEST(PlatformRename, LockedDirectoryIsWrittenInPlace) {
    const Bytes data = Pattern(70000, 4);
    ForEachLayout([&](const Scene &s) {
        const bool root = geteuid() == 0;
        const std::string locked = s.dst->file("locked"), dest = locked + "/dst";
        ASSERT_EQ(0, mkdir(locked.c_str(), 0755));
        WriteFile(dest, Pattern(90000, 5));
        WriteFile(s.src(), data);
        for (const std::string &path : {dest, s.src()}) chmod(path.c_str(), 0666);
        chmod(s.dst->path().c_str(), 0755);
        if (s.other) chmod(s.other->path().c_str(), 0755);
        chmod(s.srcDir.c_str(), 0777);
        if (!root) chmod(locked.c_str(), 0555);
        const ino_t inode = StatOf(dest).st_ino;
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (root && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
            _exit(Move(s.src(), dest) == 0 ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(child, waitpid(child, &status, 0));
        chmod(locked.c_str(), 0755);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(0, WEXITSTATUS(status));
        EXPECT_EQ(data, ReadFile(dest));
        EXPECT_EQ(inode, StatOf(dest).st_ino);
        EXPECT_FALSE(FileExists(s.src()));
    });
}
#endif

} // namespace
