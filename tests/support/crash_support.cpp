// Implementation of the crash-safety test helpers.
#include "support/crash_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif


namespace testsupport {

std::unique_ptr<TempDir> TempDirUnder(const std::string &root) {
    ScopedTmpDir scoped(root); // TempDir picks its parent from $TMPDIR
    return std::unique_ptr<TempDir>(new TempDir());
}

#ifdef _WIN32
// Windows has no memory file system to stage a move across.
bool SameDevice(const std::string &, const std::string &) { return true; }

std::string OtherFileSystemRoot(const std::string &) { return ""; }
#else
bool SameDevice(const std::string &a, const std::string &b) {
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev;
}

std::string OtherFileSystemRoot(const std::string &than) {
    for (const char *root : {"/dev/shm", "/run/shm", "/run/user", "/var/tmp", "/tmp"}) {
        struct stat st;
        if (stat(root, &st) == 0 && S_ISDIR(st.st_mode) && access(root, W_OK) == 0 && !SameDevice(root, than))
            return root;
    }
    return "";
}
#endif

std::vector<std::string> StagingLeftovers(const std::string &directory) {
    std::vector<std::string> names;
#ifdef _WIN32
    return TempFilesWithPrefix(directory, "id3"); // the system's unique names
#endif
    for (const std::string &name : TempFilesWithPrefix(directory, "."))
        if (name.find(".id3") != std::string::npos) names.push_back(name);
    return names;
}

int RecordOp(tav_op op, void *recorder) {
    static_cast<OpRecorder *>(recorder)->ops.push_back(op);
    return 0;
}

int FailOpAt(tav_op op, void *plan) {
    auto *p = static_cast<FailAtIndex *>(plan);
    if (p->seen++ != p->target) return 0;
    p->fired = true;
    p->op = op;
    return 1;
}

} // namespace testsupport
