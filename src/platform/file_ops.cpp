// Operations on files by name: delete, move (copy over the destination, then
// delete the source), size, and whether a path is a file or a directory.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/descriptors.h"
#include "platform/faults.h"
#include "platform/paths.h"
#include "tagmill/platform.h"

namespace {

const int64_t kLargestSize = 0xFFFFFFFELL;
const size_t kCopyChunk = 1 << 20;

bool WriteAll(int fd, const char *data, size_t size) {
    while (size > 0) {
        ssize_t put = write(fd, data, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        size -= static_cast<size_t>(put);
    }
    return true;
}

bool CopyContents(int from, int to) {
    char *buffer = static_cast<char *>(std::malloc(kCopyChunk));
    if (!buffer) return false;
    bool ok = true;
    for (;;) {
        ssize_t got = read(from, buffer, kCopyChunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        if (!WriteAll(to, buffer, static_cast<size_t>(got))) {
            ok = false;
            break;
        }
    }
    std::free(buffer);
    return ok;
}

// Copies the regular file source over destination, creating or truncating it.
// An existing destination keeps its permission bits; a new one takes the
// source's. Copying a file onto itself is refused (it would truncate it). A
// destination that this call created is removed again when the copy fails.
bool CopyFile(const std::string &source, const std::string &destination) {
    int from = tav_open_descriptor(source, O_RDONLY, 0);
    if (from < 0) return false;
    struct stat src, dst;
    bool existed = stat(destination.c_str(), &dst) == 0;
    if (fstat(from, &src) != 0 || !S_ISREG(src.st_mode) ||
        (existed && dst.st_dev == src.st_dev && dst.st_ino == src.st_ino)) {
        close(from);
        return false;
    }
    int to = tav_open_descriptor(destination, O_WRONLY | O_CREAT | O_TRUNC, src.st_mode & 0777);
    if (to < 0) {
        close(from);
        return false;
    }
    bool ok = CopyContents(from, to);
    close(from);
    if (close(to) != 0) ok = false;
    if (!ok && !existed) unlink(destination.c_str());
    return ok;
}

int32_t UnlinkUtf8(const std::string &path) {
    if (tav_fault(TAV_OP_UNLINK)) return -1;
    return unlink(path.c_str()) == 0 ? 0 : -1;
}

} // namespace

int32_t tav_unlink(const wchar_t *path) {
    if (!path) return -1;
    return UnlinkUtf8(tav_path_to_utf8(path));
}

int32_t tav_rename(const wchar_t *source, const wchar_t *destination) {
    if (!source || !destination) return -1;
    if (tav_fault(TAV_OP_RENAME)) return -1;
    std::string from = tav_path_to_utf8(source);
    if (!CopyFile(from, tav_path_to_utf8(destination))) return -1;
    // The move has happened once the destination holds the data; a source
    // left behind is only litter.
    UnlinkUtf8(from);
    return 0;
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
