// The program's calls on the file system by name. Paths are UTF-8 throughout
// the program; on Linux they go to the POSIX calls as they are, on Windows to
// the wide-character calls as UTF-16, so that names outside the ANSI code
// page work there too. Results and errno follow the POSIX calls.
#ifndef TAGMILL_TOOLS_HOST_FILES_H
#define TAGMILL_TOOLS_HOST_FILES_H

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace tool {
namespace host {

#ifdef _WIN32
using Status = struct _stat64;
#else
using Status = struct stat;
#endif

// stat(2); Lstat does not follow a symbolic link (Windows: as Stat).
int Stat(const std::string &path, Status *status);
int Lstat(const std::string &path, Status *status);
int StatOpen(int fd, Status *status);
// open(2), in binary mode on Windows.
int Open(const std::string &path, int flags, int mode = 0666);
int MakeDirectory(const std::string &path);
// Moves from over to, replacing to if it exists.
int RenameOver(const std::string &from, const std::string &to);
int Remove(const std::string &path);
int ProcessId();
// Which file a path names (device and file number), for telling two names of
// one file apart from two files.
std::optional<std::pair<uint64_t, uint64_t>> Identity(const std::string &path);
// The path as the standard library's file-system calls take it.
std::filesystem::path Native(const std::string &path);

} // namespace host
} // namespace tool

#endif
