// Positional file primitives: file size and offset queries, restoring an
// offset, reads and writes at an offset that leave the file pointer where it
// is (the read cache, the in-place commit), and a file's identity.
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "platform/cache_io.h"
#include "platform/faults.h"
#include "platform/paths.h"
#include "tagmill/platform.h"

namespace {

const int64_t kLargestSize = 0xFFFFFFFELL;

bool IsFileHandle(int32_t handle) { return handle != 0 && handle != -1; }

} // namespace

int64_t tav_file_size_of(int32_t handle) {
    if (!IsFileHandle(handle)) return -1;
    if (tav_fault(TAV_OP_LSEEK)) return -1;
    struct stat st;
    if (fstat(handle, &st) != 0 || st.st_size > kLargestSize) return -1;
    return static_cast<int64_t>(st.st_size);
}

int64_t tav_file_tell(int32_t handle) {
    if (!IsFileHandle(handle)) return -1;
    off_t at = lseek(handle, 0, SEEK_CUR);
    return at < 0 ? -1 : static_cast<int64_t>(at);
}

int32_t tav_file_set_position(int32_t handle, int64_t offset) {
    if (!IsFileHandle(handle) || offset < 0) return -1;
    return lseek(handle, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset) ? 0 : -1;
}

int32_t tav_pread(int32_t handle, void *buffer, uint32_t count, int64_t offset) {
    if (!buffer || !IsFileHandle(handle) || offset < 0) return -1;
    if (tav_fault(TAV_OP_READ)) return -1;
    size_t n = count > INT32_MAX ? INT32_MAX : count;
    size_t done = 0;
    // A regular file delivers everything up to its end; keep asking after a
    // signal or a partial transfer so that a short result means end of file.
    while (done < n) {
        ssize_t got = pread(handle, static_cast<char *>(buffer) + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return static_cast<int32_t>(done);
}

int32_t tav_write_at(int32_t handle, const void *buffer, uint32_t count, int64_t offset) {
    if ((!buffer && count != 0) || !IsFileHandle(handle) || offset < 0 || count > INT32_MAX) return -1;
    if (tav_fault(TAV_OP_WRITE)) return -1;
    for (uint32_t done = 0; done < count;) {
        ssize_t put = pwrite(handle, static_cast<const char *>(buffer) + done, count - done,
                             static_cast<off_t>(offset + done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return -1;
        done += static_cast<uint32_t>(put);
    }
    return static_cast<int32_t>(count);
}

namespace {

int32_t Identity(const struct stat &st, tav_file_identity *identity) {
    identity->device = static_cast<uint64_t>(st.st_dev);
    identity->file = static_cast<uint64_t>(st.st_ino);
    identity->size = static_cast<int64_t>(st.st_size);
    return 0;
}

} // namespace

int32_t tav_identify_file(int32_t handle, tav_file_identity *identity) {
    struct stat st;
    if (!identity || !IsFileHandle(handle) || fstat(handle, &st) != 0) return -1;
    return Identity(st, identity);
}

int32_t tav_identify_path(const wchar_t *path, tav_file_identity *identity) {
    struct stat st;
    if (!path || !identity || stat(tav_path_to_utf8(path).c_str(), &st) != 0) return -1;
    return Identity(st, identity);
}
