// File primitives on Windows file handles: open with the library's flag rules
// and error mapping, close, read, write, a seek that never passes the end of
// the file, and cutting a file at its current position.
#include <climits>

#include "platform/faults.h"
#include "platform/windows/handles.h"
#include "tagmill/platform.h"

namespace {

// Either write bit adds write access on top of read access.
DWORD Access(int32_t flags) {
    return (flags & (TAV_O_WRONLY | TAV_O_RDWR)) ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
}

// The creation bits are tested in the order 0x40, 0x80, 0x200 and the last
// one present decides, so 0xC2 means "create, must not exist" and 0x242
// "create or truncate"; with none of them the file must already exist.
DWORD Creation(int32_t flags) {
    DWORD creation = OPEN_EXISTING;
    if (flags & TAV_O_CREAT) creation = OPEN_ALWAYS;
    if (flags & TAV_O_EXCL) creation = CREATE_NEW;
    if (flags & TAV_O_TRUNC) creation = CREATE_ALWAYS;
    return creation;
}

// Callers only distinguish "not found" from "exists or not allowed". An
// existing file refused by CREATE_NEW reports ERROR_FILE_EXISTS (80), which
// is plain failure, unlike ERROR_ALREADY_EXISTS (183).
int32_t OpenError(DWORD error) {
    switch (error) {
    case ERROR_ALREADY_EXISTS:
    case ERROR_ACCESS_DENIED:
        return TAV_OPEN_DENIED;
    case ERROR_FILE_NOT_FOUND:
        return TAV_OPEN_NOT_FOUND;
    default:
        return -1;
    }
}

int64_t SizeOf(HANDLE file) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart > kTavLargestFileSize) return -1;
    return size.QuadPart;
}

int64_t MovePointer(HANDLE file, int64_t distance, DWORD method) {
    LARGE_INTEGER move, at;
    move.QuadPart = distance;
    return SetFilePointerEx(file, move, &at, method) ? at.QuadPart : -1;
}

} // namespace

int32_t tav_open(const wchar_t *path, int32_t flags, int32_t *handle) {
    if (!path || !handle) return -1;
    // An empty path stands for "no file": memory contents open this way.
    if (path[0] == 0) {
        *handle = -1;
        return 0;
    }
    if (tav_fault(TAV_OP_OPEN)) return -1;
    HANDLE file = tav_win_open(path, Access(flags), Creation(flags));
    if (file == INVALID_HANDLE_VALUE) return OpenError(GetLastError());
    // A file too long for 32-bit positions would only let later offsets wrap.
    if (SizeOf(file) < 0) {
        CloseHandle(file);
        return -1;
    }
    *handle = tav_win_handle_value(file);
    return 0;
}

int32_t tav_close(int32_t *handle) {
    if (!handle || !tav_win_is_file_handle(*handle)) return -1;
    if (tav_fault(TAV_OP_CLOSE)) return -1;
    if (!CloseHandle(tav_win_handle(*handle))) return -1;
    *handle = -1;
    return 0;
}

int32_t tav_read(int32_t handle, void *buffer, uint32_t count) {
    if (!buffer || !tav_win_is_file_handle(handle)) return -1;
    if (tav_fault(TAV_OP_READ)) return -1;
    DWORD got = 0;
    DWORD n = count > INT32_MAX ? INT32_MAX : count;
    if (!ReadFile(tav_win_handle(handle), buffer, n, &got, nullptr)) return -1;
    return static_cast<int32_t>(got);
}

int32_t tav_write(int32_t handle, const void *buffer, uint32_t count) {
    if (handle == 0 || (!buffer && count != 0)) return -1;
    if (tav_fault(TAV_OP_WRITE)) return -1;
    DWORD put = 0;
    DWORD n = count > INT32_MAX ? INT32_MAX : count;
    if (!WriteFile(tav_win_handle(handle), buffer, n, &put, nullptr)) return -1;
    return static_cast<int32_t>(put);
}

int64_t tav_lseek(int32_t handle, int32_t offset, int32_t origin) {
    if (handle == 0 || origin < 0 || origin > 2) return -1;
    if (tav_fault(TAV_OP_LSEEK)) return -1;
    HANDLE file = tav_win_handle(handle);
    const int64_t size = SizeOf(file);
    if (size < 0) return -1;
    int64_t base = 0;
    if (origin == 1) base = MovePointer(file, 0, FILE_CURRENT);
    if (origin == 2) base = size;
    if (base < 0) return -1;
    int64_t target = base + offset;
    if (target < 0) return -1;
    // Never leave the pointer past the end: growing a file is done by writing.
    if (target > size) target = size;
    return MovePointer(file, target, FILE_BEGIN);
}

int32_t tav_set_end_of_file(int32_t handle) {
    if (!tav_win_is_file_handle(handle)) return -1;
    if (tav_fault(TAV_OP_TRUNCATE)) return -1;
    return SetEndOfFile(tav_win_handle(handle)) ? 0 : -1;
}
