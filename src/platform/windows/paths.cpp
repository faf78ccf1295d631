// The size query by name that the class layer shares with the file
// primitives, and the path of a file behind its links. Paths are UTF-16
// already, as the wide file API takes them.
#include "platform/paths.h"

#include <windows.h>

#include <cwchar>

#include "tagmill/platform.h"

// Left as it is: a symbolic link on Windows needs a privilege to make and is
// rare among music files, and the move replaces the link itself (MoveFileExW
// does not follow it), so a journal and a temporary file beside the link are
// beside what a commit writes.
uint32_t tav_resolve_path(const wchar_t *path, wchar_t *out, uint32_t length) {
    if (!path || !out || length == 0) return 0;
    const size_t size = std::wcslen(path);
    if (size + 1 > length) return 0;
    std::wmemcpy(out, path, size + 1);
    return static_cast<uint32_t>(size);
}

bool tav_stat_size(const wchar_t *path, int64_t *size) {
    if (!path || !size) return false;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return false;
    // A directory's size reads as zero, as the C runtime's status query has it.
    *size = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                ? 0
                : (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}
