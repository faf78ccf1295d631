// Unique temporary files, beside the file that they will replace or in the
// user's temporary directory (GetTempPathW: %TMP%, %TEMP%, else the profile's
// own), which GetTempFileNameW creates empty as "<dir>id3XXXX.tmp", so no two
// writers get the same name.
#include <string>

#include "platform/faults.h"
#include "platform/windows/handles.h"
#include "tagmill/platform.h"

uint32_t tav_get_temp_path(uint32_t length, wchar_t *buffer) {
    if (!buffer) return 0;
    DWORD written = GetTempPathW(length, buffer);
    // A result of length or more is the size the directory would need.
    return written < length ? written : 0;
}

uint32_t tav_get_temp_file_name(const wchar_t *directory, wchar_t *name) {
    if (!directory || !name) return 0;
    if (tav_fault(TAV_OP_TEMP_NAME)) return 0;
    // Unique number 0: the system picks the number and creates the file.
    return GetTempFileNameW(directory, L"id3", 0, name);
}

// GetTempFileNameW takes any directory. The name is not hidden: the move
// carries the new file's attributes over to the song, hidden among them.
int32_t tav_create_temp_beside(const wchar_t *path, wchar_t *name) {
    if (!path || !name) return -1;
    if (tav_fault(TAV_OP_TEMP_NAME)) return -1;
    const std::wstring p = path;
    const size_t separator = p.find_last_of(L"\\/");
    const std::wstring directory = separator == std::wstring::npos ? L"." : p.substr(0, separator + 1);
    if (GetTempFileNameW(directory.c_str(), L"id3", 0, name)) return 0;
    // Refused, or a directory too long for a unique name in it.
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT || error == ERROR_BUFFER_OVERFLOW ||
                   error == ERROR_FILENAME_EXCED_RANGE
               ? TAV_OPEN_DENIED
               : -1;
}
