// Durability: flushing one file or the directory entries beside a path, the
// per-thread switch that turns every flush off for callers who prefer speed
// to surviving a power cut, and the observer that tests watch flushes with.
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "platform/faults.h"
#include "platform/file_copy.h"
#include "platform/paths.h"
#include "tagmill/platform.h"

namespace {
thread_local bool g_flushes = true;
thread_local tav_flush_observer g_observer = nullptr;
thread_local void *g_observer_user = nullptr;

std::string DirectoryOf(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}
} // namespace

void tav_set_flushes(int32_t enabled) { g_flushes = enabled != 0; }

int32_t tav_flushes_enabled(void) { return g_flushes ? 1 : 0; }

void tav_set_flush_observer(tav_flush_observer observer, void *user) {
    g_observer = observer;
    g_observer_user = observer ? user : nullptr;
}

void tav_flushed(int handle) {
    if (g_observer) g_observer(handle, g_observer_user);
}

int32_t tav_flush(int32_t handle) {
    if (handle == 0 || handle == -1) return -1;
    return tav_flush_descriptor(handle) ? 0 : -1;
}

int32_t tav_flush_directory_of(const wchar_t *path) {
    if (!path) return -1;
    if (!g_flushes) return 0;
    if (tav_fault(TAV_OP_FSYNC)) return -1;
    int fd = open(DirectoryOf(tav_path_to_utf8(path)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    int rc = fsync(fd);
    close(fd);
    if (rc == 0) tav_flushed(-1);
    return rc == 0 ? 0 : -1;
}
