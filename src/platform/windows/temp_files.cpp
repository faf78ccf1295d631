// The user's temporary directory (GetTempPathW: %TMP%, %TEMP%, else the
// profile's own) and unique temporary files in it, which GetTempFileNameW
// creates empty as "<dir>id3XXXX.tmp", so no two writers get the same name.
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
