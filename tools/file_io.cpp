// File I/O by descriptor with errno texts for the messages.
#include "file_io.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host_files.h"

namespace tool {

namespace {

std::string Directory(const std::string &path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool MakeDirectories(const std::string &directory, std::string &error) {
    host::Status st {};
    if (host::Stat(directory, &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        error = directory + " is not a directory";
        return false;
    }
    const std::string parent = Directory(directory);
    if (parent != directory && !MakeDirectories(parent, error)) return false;
    if (host::MakeDirectory(directory) != 0 && errno != EEXIST) {
        error = "cannot create " + directory + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool WriteAll(int fd, const unsigned char *data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// A new file next to the target, with the mode the umask gives new files
// (mkstemp would make it private). The name is unique within the process by
// a counter and across processes by the process id.
int CreateTemporary(const std::string &directory, std::string &name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = directory + "/.tagmill-" + std::to_string(host::ProcessId()) + "-" + std::to_string(counter++);
        const int fd = host::Open(name, O_WRONLY | O_CREAT | O_EXCL);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

} // namespace

bool ReadBytes(const std::string &path, std::vector<unsigned char> &bytes, std::string &error) {
    const int fd = host::Open(path, O_RDONLY);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    host::Status st {};
    if (host::StatOpen(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? "is a directory" : "not a regular file";
        ::close(fd);
        return false;
    }
    bytes.clear();
    unsigned char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (got == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    ::close(fd);
    return true;
}

bool WriteBytes(const std::string &path, const unsigned char *data, size_t size, bool makeParents,
                std::string &error) {
    if (makeParents && !MakeDirectories(Directory(path), error)) return false;
    host::Status st {};
    if (host::Stat(path, &st) == 0 && S_ISDIR(st.st_mode)) {
        error = "is a directory";
        return false;
    }
    std::string temp;
    const int fd = CreateTemporary(Directory(path), temp);
    if (fd < 0) {
        error = std::string("cannot create a file in ") + Directory(path) + ": " + std::strerror(errno);
        return false;
    }
    const bool written = WriteAll(fd, data, size);
    const int writeErrno = errno;
    if (::close(fd) != 0 || !written) {
        error = std::strerror(written ? errno : writeErrno);
        host::Remove(temp);
        return false;
    }
    if (host::RenameOver(temp, path) != 0) {
        error = std::strerror(errno);
        host::Remove(temp);
        return false;
    }
    return true;
}

} // namespace tool
