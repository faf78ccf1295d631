// Whole-file copies between descriptors (kernel copy first, a read/write loop
// where the kernel cannot) and flushing files and directories to disk.
#include "platform/file_copy.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/faults.h"

namespace {

// Pieces are large: a move copies a whole audio file, and each piece costs a
// system call (or two) and two fault-hook checks.
const size_t kKernelPiece = 8 << 20;
const size_t kBufferPiece = 1 << 20;

// A piece about to be copied: the hook may refuse its read or its write.
bool PieceRefused() { return tav_fault(TAV_OP_READ) || tav_fault(TAV_OP_WRITE); }

// copy_file_range errors that mean "not between these two files", after
// which the plain loop takes over from where the kernel stopped.
bool KernelCopyUnavailable(int err) {
    return err == EXDEV || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP || err == EBADF ||
           err == ETXTBSY;
}

enum class KernelResult { kDone, kFailed, kUnavailable };

KernelResult KernelCopy(int from, int to, off_t *in, off_t *out) {
    for (;;) {
        if (PieceRefused()) return KernelResult::kFailed;
        ssize_t got = copy_file_range(from, in, to, out, kKernelPiece, 0);
        if (got > 0) continue;
        if (got == 0) return KernelResult::kDone;
        if (errno == EINTR) continue;
        return KernelCopyUnavailable(errno) ? KernelResult::kUnavailable : KernelResult::kFailed;
    }
}

bool WriteAllAt(int fd, const char *data, size_t size, off_t *at) {
    while (size > 0) {
        ssize_t put = pwrite(fd, data, size, *at);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        size -= static_cast<size_t>(put);
        *at += put;
    }
    return true;
}

bool BufferCopy(int from, int to, off_t *in, off_t *out) {
    char *buffer = static_cast<char *>(std::malloc(kBufferPiece));
    if (!buffer) return false;
    bool ok = true;
    for (;;) {
        if (PieceRefused()) {
            ok = false;
            break;
        }
        ssize_t got = pread(from, buffer, kBufferPiece, *in);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        *in += got;
        if (!WriteAllAt(to, buffer, static_cast<size_t>(got), out)) {
            ok = false;
            break;
        }
    }
    std::free(buffer);
    return ok;
}

} // namespace

bool tav_copy_descriptor(int from, int to, off_t *copied) {
    off_t in = 0, out = 0;
    KernelResult kernel = KernelCopy(from, to, &in, &out);
    bool ok = kernel == KernelResult::kDone ||
              (kernel == KernelResult::kUnavailable && BufferCopy(from, to, &in, &out));
    *copied = out;
    // Some kernels' copies have stopped short without an error; a copy that
    // does not match the source's length is not one.
    struct stat st;
    return ok && fstat(from, &st) == 0 && st.st_size == out;
}

bool tav_flush_descriptor(int fd) {
    if (tav_fault(TAV_OP_FSYNC)) return false;
    int rc;
    do {
        rc = fsync(fd);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

void tav_flush_directory(const char *directory) {
    int fd = open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}
