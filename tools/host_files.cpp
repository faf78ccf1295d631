// The program's file-system calls by name: POSIX on Linux, the C runtime's
// wide-character calls and the file API on Windows.
#include "host_files.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cerrno>

#include "utf8.h"

namespace tool {
namespace host {

std::filesystem::path Native(const std::string &path) { return std::filesystem::u8path(path); }

#ifdef _WIN32
// The C runtime's stat refuses a directory named with a trailing separator.
int Stat(const std::string &path, Status *status) {
    std::wstring wide = Widen(path);
    while (wide.size() > 1 && (wide.back() == L'/' || wide.back() == L'\\') && wide[wide.size() - 2] != L':')
        wide.pop_back();
    return _wstat64(wide.c_str(), status);
}

int Lstat(const std::string &path, Status *status) { return Stat(path, status); }

int StatOpen(int fd, Status *status) { return _fstat64(fd, status); }

int Open(const std::string &path, int flags, int mode) {
    (void)mode;
    return _wopen(Widen(path).c_str(), flags | _O_BINARY, _S_IREAD | _S_IWRITE);
}

int MakeDirectory(const std::string &path) { return _wmkdir(Widen(path).c_str()); }

int RenameOver(const std::string &from, const std::string &to) {
    if (MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return 0;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return -1;
}

int Remove(const std::string &path) { return _wunlink(Widen(path).c_str()); }

int ProcessId() { return _getpid(); }

std::optional<std::pair<uint64_t, uint64_t>> Identity(const std::string &path) {
    HANDLE file = CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    if (!ok) return std::nullopt;
    return std::make_pair(uint64_t(info.dwVolumeSerialNumber),
                          (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
}
#else
int Stat(const std::string &path, Status *status) { return ::stat(path.c_str(), status); }

int Lstat(const std::string &path, Status *status) { return ::lstat(path.c_str(), status); }

int StatOpen(int fd, Status *status) { return ::fstat(fd, status); }

int Open(const std::string &path, int flags, int mode) { return ::open(path.c_str(), flags, mode); }

int MakeDirectory(const std::string &path) { return ::mkdir(path.c_str(), 0777); }

int RenameOver(const std::string &from, const std::string &to) { return ::rename(from.c_str(), to.c_str()); }

int Remove(const std::string &path) { return ::unlink(path.c_str()); }

int ProcessId() { return static_cast<int>(::getpid()); }

std::optional<std::pair<uint64_t, uint64_t>> Identity(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return std::make_pair(uint64_t(st.st_dev), uint64_t(st.st_ino));
}
#endif

} // namespace host
} // namespace tool
