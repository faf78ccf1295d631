// Moving a file over another: the destination is replaced whole, keeps its
// permissions (and owner), stays reachable through its links, and no failed
// step leaves it damaged or leaves a staging file behind. Each case runs with
// the source on the destination's file system (a rename) and on another one
// (a copy staged beside the destination).
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include "support/crash_support.h"

using namespace testsupport;

namespace {

// The destination lives in dirs.home, the source in dirs.second.
std::string Src(const DirPair &dirs) { return dirs.second + "/src"; }
std::string Dest(const DirPair &dirs) { return dirs.home->file("dst"); }

int32_t Move(const std::string &a, const std::string &b) { return tav_rename(Widen(a).c_str(), Widen(b).c_str()); }

Bytes Pattern(size_t size, uint8_t seed) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i * 7 + seed + i / 251);
    return b;
}

// Every operation that a move consults the hook about is failed in turn. The
// move must then fail with both files as they were and nothing staged left,
// except for the deletion of a copied source: the move has happened by then.
// A move that succeeds reports its flushes: file data, and last the directory.
TEST(PlatformRename, EveryFailedStepLeavesTheDestinationWhole) {
    const Bytes data = Pattern((1 << 20) + 3, 2), old = Pattern(5000, 3);
    ForEachFileSystemLayout([&](const DirPair &s) {
        OpRecorder trace;
        std::vector<int32_t> flushed;
        WriteFile(Src(s), data);
        WriteFile(Dest(s), old);
        {
            ScopedFaultHook hook(RecordOp, &trace);
            tav_set_flush_observer([](int32_t h, void *seen) { static_cast<std::vector<int32_t> *>(seen)->push_back(h); },
                                   &flushed);
            ASSERT_EQ(0, Move(Src(s), Dest(s)));
            tav_set_flush_observer(nullptr, nullptr);
        }
        EXPECT_TRUE(flushed.size() >= 2 && flushed.front() != -1 && flushed.back() == -1) << flushed.size();
        ASSERT_FALSE(trace.ops.empty());
        for (size_t i = 0; i < trace.ops.size(); ++i) {
            WriteFile(Src(s), data);
            WriteFile(Dest(s), old);
            FailAtIndex plan{i};
            int32_t rc;
            {
                ScopedFaultHook hook(FailOpAt, &plan);
                rc = Move(Src(s), Dest(s));
            }
            SCOPED_TRACE(testing::Message() << "failing step " << i << " (operation " << plan.op << ")");
            ASSERT_TRUE(plan.fired);
            EXPECT_TRUE(StagingLeftovers(s.home->path()).empty());
            const bool moved = plan.op == TAV_OP_UNLINK; // only the copied source is left
            EXPECT_EQ(moved ? 0 : -1, rc);
            EXPECT_EQ(moved ? data : old, ReadFile(Dest(s)));
            EXPECT_EQ(data, ReadFile(Src(s)));
        }
    });
}

#ifdef _WIN32
TEST(PlatformRename, ReplacesTheDestinationWholeOrRefuses) {
    GTEST_SKIP() << "owners, permission bits, hard and symbolic links are POSIX; the Windows move has its own test";
}

TEST(PlatformRename, LockedDirectoryIsWrittenInPlace) {
    GTEST_SKIP() << "needs fork and a directory that refuses new files through permission bits";
}
#else
struct stat StatOf(const std::string &path) {
    struct stat st = {};
    EXPECT_EQ(0, lstat(path.c_str(), &st)) << path;
    return st;
}

TEST(PlatformRename, ReplacesTheDestinationWholeOrRefuses) {
    const Bytes data = Pattern(3 * (1 << 20) + 7, 1); // several copy pieces
    ForEachFileSystemLayout([&](const DirPair &s) {
        WriteFile(Src(s), data);
        WriteFile(Dest(s), Bytes(data.size() + 100, 0xEE));
        chmod(Dest(s).c_str(), 0640);
        const bool root = geteuid() == 0;
        ASSERT_TRUE(!root || chown(Dest(s).c_str(), 65534, 65534) == 0);
        EXPECT_EQ(0, Move(Src(s), Dest(s)));
        EXPECT_EQ(data, ReadFile(Dest(s)));
        EXPECT_FALSE(FileExists(Src(s)));
        const struct stat st = StatOf(Dest(s));
        EXPECT_EQ(0640u, st.st_mode & 07777);
        EXPECT_TRUE(!root || (st.st_uid == 65534 && st.st_gid == 65534));

        // Through a symbolic link: the file it names is replaced, the link stays.
        WriteFile(Src(s), Ascii("linked"));
        const std::string link = s.home->file("link");
        ASSERT_EQ(0, symlink("dst", link.c_str()));
        EXPECT_EQ(0, Move(Src(s), link));
        EXPECT_TRUE(S_ISLNK(StatOf(link).st_mode));
        EXPECT_EQ(Ascii("linked"), ReadFile(Dest(s)));

        // Refused, both files left alone: a file onto another of its own names
        // (it would vanish), a directory on either side, a missing source.
        WriteFile(Src(s), Ascii("source"));
        const std::string alias = s.home->file("alias"), dir = s.home->file("dir");
        ASSERT_EQ(0, ::link(Dest(s).c_str(), alias.c_str()));
        ASSERT_EQ(0, mkdir(dir.c_str(), 0700));
        const std::pair<std::string, std::string> refused[] = {
            {alias, Dest(s)}, {Src(s), dir}, {s.second, s.home->file("new")}, {s.second + "/none", Dest(s)}};
        for (const auto &move : refused) EXPECT_EQ(-1, Move(move.first, move.second)) << move.first;
        EXPECT_EQ(Ascii("linked"), ReadFile(Dest(s)));
        EXPECT_EQ(Ascii("source"), ReadFile(Src(s)));
        EXPECT_FALSE(FileExists(s.home->file("new")));
        EXPECT_TRUE(StagingLeftovers(s.home->path()).empty());
    });
}

// The destination's extended attributes (ACLs are some) stay with it.
TEST(PlatformRename, KeepsExtendedAttributes) {
    ForEachFileSystemLayout([](const DirPair &s) {
        WriteFile(Src(s), Ascii("new"));
        WriteFile(Dest(s), Ascii("old"));
        if (setxattr(Dest(s).c_str(), "user.tagmill", "kept", 4, 0) != 0)
            GTEST_SKIP() << "the file system of " << s.home->path() << " refuses user extended attributes";
        ASSERT_EQ(0, Move(Src(s), Dest(s)));
        char value[8] = {};
        EXPECT_EQ(4, getxattr(Dest(s).c_str(), "user.tagmill", value, sizeof value));
        EXPECT_STREQ("kept", value);
    });
}

// A directory that refuses new entries (the file itself being writable) gets
// its file overwritten in place: the same inode, the new bytes. Run in a child
// that gives up root, since root may write anywhere.
TEST(PlatformRename, LockedDirectoryIsWrittenInPlace) {
    const Bytes data = Pattern(70000, 4);
    ForEachFileSystemLayout([&](const DirPair &s) {
        const bool root = geteuid() == 0;
        const std::string locked = s.home->file("locked"), dest = locked + "/dst";
        ASSERT_EQ(0, mkdir(locked.c_str(), 0755));
        WriteFile(dest, Pattern(90000, 5));
        WriteFile(Src(s), data);
        for (const std::string &path : {dest, Src(s)}) chmod(path.c_str(), 0666);
        chmod(s.home->path().c_str(), 0755);
        if (s.other) chmod(s.other->path().c_str(), 0755);
        chmod(s.second.c_str(), 0777);
        if (!root) chmod(locked.c_str(), 0555);
        const ino_t inode = StatOf(dest).st_ino;
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (root && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
            _exit(Move(Src(s), dest) == 0 ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(child, waitpid(child, &status, 0));
        chmod(locked.c_str(), 0755);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(0, WEXITSTATUS(status));
        EXPECT_EQ(data, ReadFile(dest));
        EXPECT_EQ(inode, StatOf(dest).st_ino);
        EXPECT_FALSE(FileExists(Src(s)));
    });
}

#endif

} // namespace
