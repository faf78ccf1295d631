// Durability on POSIX: flushing one file or the directory entries beside a
// path (the flush switch and observer live in flush_switch.cpp).
#include <fcntl.h>
#include <unistd.h>

#include <string>

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
