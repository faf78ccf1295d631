// Durability on POSIX: flushing one file or the directory entries beside a
// path (the flush switch and observer live in flush_switch.cpp).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/faults.h"
#include "platform/file_copy.h"
#include "platform/flush_switch.h"
#include "platform/paths.h"
#include "tagmill/platform.h"

namespace {
std::string DirectoryOf(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}
} // namespace

int32_t tav_flush(int32_t handle) {
    if (handle == 0 || handle == -1) return -1;
    return tav_flush_descriptor(handle) ? 0 : -1;
}

int32_t tav_flush_directory_of(const wchar_t *path) {
    if (!path) return -1;
    if (!tav_flushes_enabled()) return 0;
    if (tav_fault(TAV_OP_FSYNC)) return -1;
    int fd = open(DirectoryOf(tav_path_to_utf8(path)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    int rc = fsync(fd);
    close(fd);
    if (rc == 0) tav_flushed(-1);
    return rc == 0 ? 0 : -1;
}

// One syncfs(2) per file system holding the files: it writes every dirty file
// and directory there and flushes the device once, which costs about as much
// as one fdatasync however many files are named.
int32_t tav_flush_paths(const wchar_t *const *paths, uint32_t count) {
    if (!paths && count) return -1;
    if (!tav_flushes_enabled() || count == 0) return 0;
    if (tav_fault(TAV_OP_FSYNC)) return -1;
    std::vector<dev_t> flushed;
    for (uint32_t i = 0; i < count; ++i) {
        const std::string path = tav_path_to_utf8(paths[i]);
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) return -1;
        if (std::find(flushed.begin(), flushed.end(), st.st_dev) != flushed.end()) continue;
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return -1;
        const int rc = syncfs(fd);
        close(fd);
        if (rc != 0) return -1;
        flushed.push_back(st.st_dev);
    }
    tav_flushed(-2);
    return 0;
}
