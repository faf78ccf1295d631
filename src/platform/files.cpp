// File primitives on descriptors: open with the library's flag rules, close,
// read, write, a seek that never passes the end of the file, and cutting a
// file at its current position.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "platform/descriptors.h"
#include "platform/faults.h"
#include "platform/paths.h"
#include "tagmill/platform.h"

namespace {

// Positions and sizes are 32-bit in the tag formats; all bits set is reserved
// for "invalid size", so a usable file is at most 0xFFFFFFFE bytes long.
const int64_t kLargestSize = 0xFFFFFFFELL;

// Access: either write bit adds write access on top of read access.
// Creation: the bits are tested in the order 0x40, 0x80, 0x200 and the last
// one present decides, so 0xC2 means "create, must not exist" and 0x242
// "create or truncate"; with none of them the file must already exist.
int OpenFlags(int32_t flags) {
    int oflags = (flags & (TAV_O_WRONLY | TAV_O_RDWR)) ? O_RDWR : O_RDONLY;
    int creation = 0;
    if (flags & TAV_O_CREAT) creation = O_CREAT;
    if (flags & TAV_O_EXCL) creation = O_CREAT | O_EXCL;
    if (flags & TAV_O_TRUNC) creation = O_CREAT | O_TRUNC;
    return oflags | creation;
}

// Callers only distinguish "not found" from "exists or not allowed"; every
// other error is plain failure. A directory counts as "not allowed": it is
// never a content.
int32_t OpenError(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return TAV_OPEN_NOT_FOUND;
    case EEXIST:
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return TAV_OPEN_DENIED;
    default:
        return -1;
    }
}

bool IsFileHandle(int32_t handle) { return handle != 0 && handle != -1; }

} // namespace

int32_t tav_open(const wchar_t *path, int32_t flags, int32_t *handle) {
    if (!path || !handle) return -1;
    // An empty path stands for "no file": memory contents open this way.
    if (path[0] == 0) {
        *handle = -1;
        return 0;
    }
    if (tav_fault(TAV_OP_OPEN)) return -1;
    int fd = tav_open_descriptor(tav_path_to_utf8(path), OpenFlags(flags), 0666);
    if (fd < 0) return OpenError(errno);
    // Reading a directory descriptor would only fail later; refuse it here.
    // So is a file too long for 32-bit positions: opening it would only let
    // every later offset wrap around.
    struct stat st;
    int32_t refused = 0;
    if (fstat(fd, &st) != 0) refused = -1;
    else if (S_ISDIR(st.st_mode)) refused = TAV_OPEN_DENIED;
    else if (st.st_size > kLargestSize) refused = -1;
    if (refused != 0) {
        close(fd);
        return refused;
    }
    *handle = fd;
    return 0;
}

int32_t tav_close(int32_t *handle) {
    if (!handle || !IsFileHandle(*handle)) return -1;
    if (tav_fault(TAV_OP_CLOSE)) return -1;
    if (close(*handle) != 0) {
        // Only a descriptor that was never open survives a failed close; after
        // any other error the descriptor is released all the same and must not
        // be closed again (its number may already belong to someone else).
        if (errno == EBADF) return -1;
        *handle = -1;
        return -1;
    }
    *handle = -1;
    return 0;
}

int32_t tav_read(int32_t handle, void *buffer, uint32_t count) {
    if (!buffer || !IsFileHandle(handle)) return -1;
    if (tav_fault(TAV_OP_READ)) return -1;
    size_t n = count > INT32_MAX ? INT32_MAX : count;
    ssize_t got;
    do {
        got = read(handle, buffer, n);
    } while (got < 0 && errno == EINTR);
    return got < 0 ? -1 : static_cast<int32_t>(got);
}

int32_t tav_write(int32_t handle, const void *buffer, uint32_t count) {
    if (handle == 0 || (!buffer && count != 0)) return -1;
    if (tav_fault(TAV_OP_WRITE)) return -1;
    size_t n = count > INT32_MAX ? INT32_MAX : count;
    ssize_t put;
    do {
        put = write(handle, buffer, n);
    } while (put < 0 && errno == EINTR);
    return put < 0 ? -1 : static_cast<int32_t>(put);
}

int64_t tav_lseek(int32_t handle, int32_t offset, int32_t origin) {
    if (handle == 0 || origin < 0 || origin > 2) return -1;
    if (tav_fault(TAV_OP_LSEEK)) return -1;
    struct stat st;
    if (fstat(handle, &st) != 0 || st.st_size > kLargestSize) return -1;
    int64_t base = 0;
    if (origin == 1) {
        off_t current = lseek(handle, 0, SEEK_CUR);
        if (current < 0) return -1;
        base = current;
    } else if (origin == 2) {
        base = st.st_size;
    }
    int64_t target = base + offset;
    if (target < 0) return -1;
    // Never leave the pointer past the end: growing a file is done by writing.
    if (target > st.st_size) target = st.st_size;
    off_t moved = lseek(handle, static_cast<off_t>(target), SEEK_SET);
    return moved < 0 ? -1 : static_cast<int64_t>(moved);
}

int32_t tav_set_end_of_file(int32_t handle) {
    if (!IsFileHandle(handle)) return -1;
    if (tav_fault(TAV_OP_TRUNCATE)) return -1;
    off_t position = lseek(handle, 0, SEEK_CUR);
    if (position < 0) return -1;
    int rc;
    do {
        rc = ftruncate(handle, position);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? 0 : -1;
}
