// Operations on files by name: delete, size, and whether a path is a file or
// a directory. (Moving a file over another has a file of its own.)
#include "platform/faults.h"
#include "platform/windows/handles.h"
#include "tagmill/platform.h"

int32_t tav_unlink(const wchar_t *path) {
    if (!path) return -1;
    if (tav_fault(TAV_OP_UNLINK)) return -1;
    return DeleteFileW(path) ? 0 : -1;
}

int32_t tav_link(const wchar_t *existing, const wchar_t *name) {
    if (!existing || !name) return -1;
    return CreateHardLinkW(name, existing, nullptr) ? 0 : -1;
}

int64_t tav_getfilesize(const wchar_t *path) {
    if (!path) return -1;
    HANDLE file = tav_win_open(path, GENERIC_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) return -1;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart <= kTavLargestFileSize;
    CloseHandle(file);
    return ok ? size.QuadPart : -1;
}

int32_t tav_file_type(const wchar_t *path) {
    if (!path) return -1;
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return TAV_FILE_TYPE_UNKNOWN;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? TAV_FILE_TYPE_DIRECTORY : TAV_FILE_TYPE_REGULAR;
}
