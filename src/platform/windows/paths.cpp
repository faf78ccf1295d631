// The size query by name that the class layer shares with the file
// primitives. Paths are UTF-16 already, as the wide file API takes them.
#include "platform/paths.h"

#include <windows.h>

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
