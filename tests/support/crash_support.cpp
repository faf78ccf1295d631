// Implementation of the crash-safety test helpers.
#include "support/crash_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace testsupport {

namespace {

#ifdef _WIN32
// Windows has no memory file system to stage a move across.
std::string OtherFileSystemRoot(const std::string &) { return ""; }
#else
std::string OtherFileSystemRoot(const std::string &than) {
    struct stat home, st;
    for (const char *root : {"/dev/shm", "/run/shm", "/run/user", "/var/tmp", "/tmp"})
        if (stat(than.c_str(), &home) == 0 && stat(root, &st) == 0 && S_ISDIR(st.st_mode) && access(root, W_OK) == 0 &&
            st.st_dev != home.st_dev)
            return root;
    return "";
}
#endif

} // namespace

void ForEachFileSystemLayout(const std::function<void(const DirPair &)> &body) {
    for (bool crossDevice : {false, true}) {
        SCOPED_TRACE(crossDevice ? "second directory on another file system" : "second directory on the same one");
        DirPair dirs;
        dirs.crossDevice = crossDevice;
        dirs.home.reset(new TempDir());
        dirs.second = dirs.home->file("second");
        if (crossDevice) {
            const std::string root = OtherFileSystemRoot(dirs.home->path());
            if (root.empty()) GTEST_SKIP() << "no second file system";
            ScopedTmpDir scoped(root); // TempDir picks its parent from $TMPDIR
            dirs.other.reset(new TempDir());
            dirs.second = dirs.other->path();
        } else {
            ASSERT_TRUE(MakeDirectory(dirs.second));
        }
        body(dirs);
        if (testing::Test::HasFatalFailure()) return;
    }
}

std::vector<std::string> StagingLeftovers(const std::string &directory) {
#ifdef _WIN32
    return TempFilesWithPrefix(directory, "id3"); // the system's unique names
#endif
    std::vector<std::string> names;
#ifdef _WIN32
    return TempFilesWithPrefix(directory, "id3"); // the system's unique names
#endif
    for (const std::string &name : TempFilesWithPrefix(directory, "."))
        if (name.find(".id3") != std::string::npos) names.push_back(name);
    return names;
}

int FailOpAt(tav_op op, void *plan) {
    auto *p = static_cast<FailAtIndex *>(plan);
    if (p->seen++ != p->target) return 0;
    p->fired = true;
    p->op = op;
    return 1;
}

} // namespace testsupport
