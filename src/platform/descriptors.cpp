// Opening descriptors for the file primitives. Handle 0 means "no file" to
// the primitives, so a descriptor that lands on 0 (stdin was closed) is moved
// to a higher number before it is handed out.
#include "platform/descriptors.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Moves descriptor 0 to the lowest free number from 3 up.
int MoveOffZero(int fd) {
    if (fd != 0) return fd;
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    int saved = errno;
    close(fd);
    errno = saved;
    return moved;
}

} // namespace

int tav_open_descriptor(const std::string &path, int oflags, mode_t mode) {
    int fd;
    do {
        fd = open(path.c_str(), oflags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? -1 : MoveOffZero(fd);
}
