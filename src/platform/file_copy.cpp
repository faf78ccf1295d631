// Copies between descriptors, whole files or ranges (kernel copy first, a
// read/write loop where the kernel cannot), and flushing files and
// directories to disk, unless the calling thread has turned flushes off.
#include "platform/file_copy.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/faults.h"
#include "platform/flush_switch.h"

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

// Both copies move at most `limit` bytes (a whole file: the largest offset).
const off_t kWholeFile = static_cast<off_t>(~0ull >> 1);

size_t Piece(size_t piece, off_t left) { return left < static_cast<off_t>(piece) ? static_cast<size_t>(left) : piece; }

KernelResult KernelCopy(int from, int to, off_t *in, off_t *out, off_t limit) {
    for (off_t left = limit; left > 0;) {
        if (PieceRefused()) return KernelResult::kFailed;
        ssize_t got = copy_file_range(from, in, to, out, Piece(kKernelPiece, left), 0);
        if (got > 0) {
            left -= got;
            continue;
        }
        if (got == 0) return KernelResult::kDone;
        if (errno == EINTR) continue;
        return KernelCopyUnavailable(errno) ? KernelResult::kUnavailable : KernelResult::kFailed;
    }
    return KernelResult::kDone;
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

bool BufferCopy(int from, int to, off_t *in, off_t *out, off_t limit) {
    char *buffer = static_cast<char *>(std::malloc(kBufferPiece));
    if (!buffer) return false;
    bool ok = true;
    for (off_t left = limit; left > 0;) {
        if (PieceRefused()) {
            ok = false;
            break;
        }
        ssize_t got = pread(from, buffer, Piece(kBufferPiece, left), *in);
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
        left -= got;
    }
    std::free(buffer);
    return ok;
}

} // namespace

bool tav_copy_descriptor(int from, int to, off_t *copied) {
    off_t in = 0, out = 0;
    KernelResult kernel = KernelCopy(from, to, &in, &out, kWholeFile);
    bool ok = kernel == KernelResult::kDone ||
              (kernel == KernelResult::kUnavailable && BufferCopy(from, to, &in, &out, kWholeFile));
    *copied = out;
    // Some kernels' copies have stopped short without an error; a copy that
    // does not match the source's length is not one.
    struct stat st;
    return ok && fstat(from, &st) == 0 && st.st_size == out;
}

int32_t tav_copy_range(int32_t from, int64_t from_offset, int32_t to, int64_t to_offset, int64_t count) {
    if (from_offset < 0 || to_offset < 0 || count < 0) return -1;
    off_t in = from_offset, out = to_offset;
    KernelResult kernel = KernelCopy(from, to, &in, &out, count);
    if (kernel == KernelResult::kUnavailable && BufferCopy(from, to, &in, &out, count - (out - to_offset)))
        kernel = KernelResult::kDone;
    return kernel == KernelResult::kDone && out - to_offset == count ? 0 : -1;
}

bool tav_flush_descriptor(int fd) {
    if (!tav_flushes_enabled()) return true;
    if (tav_fault(TAV_OP_FSYNC)) return false;
    int rc;
    do {
        rc = fdatasync(fd);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) tav_flushed(fd);
    return rc == 0;
}

void tav_flush_directory(const char *directory) {
    if (!tav_flushes_enabled()) return;
    int fd = open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    if (fsync(fd) == 0) tav_flushed(-1);
    close(fd);
}
