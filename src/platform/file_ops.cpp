// Operations on files by name: delete, size, and whether a path is a file or
// a directory. (Moving a file over another has a file of its own.)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/descriptors.h"
#include "platform/faults.h"
#include "platform/paths.h"
#include "tagmill/platform.h"

namespace {

const int64_t kLargestSize = 0xFFFFFFFELL;

int32_t UnlinkUtf8(const std::string &path) {
    if (tav_fault(TAV_OP_UNLINK)) return -1;
    return unlink(path.c_str()) == 0 ? 0 : -1;
}

} // namespace

int32_t tav_unlink(const wchar_t *path) {
    if (!path) return -1;
    return UnlinkUtf8(tav_path_to_utf8(path));
}

int32_t tav_link(const wchar_t *existing, const wchar_t *name) {
    if (!existing || !name) return -1;
    return link(tav_path_to_utf8(existing).c_str(), tav_path_to_utf8(name).c_str()) == 0 ? 0 : -1;
}

int64_t tav_getfilesize(const wchar_t *path) {
    if (!path) return -1;
    int fd = tav_open_descriptor(tav_path_to_utf8(path), O_RDONLY, 0);
    if (fd < 0) return -1;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode) && st.st_size <= kLargestSize;
    close(fd);
    return ok ? static_cast<int64_t>(st.st_size) : -1;
}

int32_t tav_file_type(const wchar_t *path) {
    if (!path) return -1;
    struct stat st;
    if (stat(tav_path_to_utf8(path).c_str(), &st) != 0) return TAV_FILE_TYPE_UNKNOWN;
    return S_ISDIR(st.st_mode) ? TAV_FILE_TYPE_DIRECTORY : TAV_FILE_TYPE_REGULAR;
}
