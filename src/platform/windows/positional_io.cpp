// Positional file primitives behind the engine's read cache: file size and
// offset queries, restoring an offset, and reads at an offset that leave the
// file pointer where it is.
#include <climits>

#include "platform/cache_io.h"
#include "platform/faults.h"
#include "platform/windows/handles.h"

namespace {

int64_t Pointer(HANDLE file) {
    LARGE_INTEGER zero, at;
    zero.QuadPart = 0;
    return SetFilePointerEx(file, zero, &at, FILE_CURRENT) ? at.QuadPart : -1;
}

bool SetPointer(HANDLE file, int64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = offset;
    return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != 0;
}

} // namespace

int64_t tav_file_size_of(int32_t handle) {
    if (!tav_win_is_file_handle(handle)) return -1;
    if (tav_fault(TAV_OP_LSEEK)) return -1;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(tav_win_handle(handle), &size) || size.QuadPart > kTavLargestFileSize) return -1;
    return size.QuadPart;
}

int64_t tav_file_tell(int32_t handle) {
    if (!tav_win_is_file_handle(handle)) return -1;
    return Pointer(tav_win_handle(handle));
}

int32_t tav_file_set_position(int32_t handle, int64_t offset) {
    if (!tav_win_is_file_handle(handle) || offset < 0) return -1;
    return SetPointer(tav_win_handle(handle), offset) ? 0 : -1;
}

// A read with an offset on a synchronous handle still moves the file pointer
// to the end of what it read, so the pointer is put back afterwards.
int32_t tav_pread(int32_t handle, void *buffer, uint32_t count, int64_t offset) {
    if (!buffer || !tav_win_is_file_handle(handle) || offset < 0) return -1;
    if (tav_fault(TAV_OP_READ)) return -1;
    HANDLE file = tav_win_handle(handle);
    const int64_t pointer = Pointer(file);
    if (pointer < 0) return -1;
    DWORD n = count > INT32_MAX ? INT32_MAX : count;
    DWORD done = 0;
    bool ok = true;
    while (done < n) {
        OVERLAPPED at = {};
        const uint64_t from = static_cast<uint64_t>(offset) + done;
        at.Offset = static_cast<DWORD>(from);
        at.OffsetHigh = static_cast<DWORD>(from >> 32);
        DWORD got = 0;
        if (!ReadFile(file, static_cast<char *>(buffer) + done, n - done, &got, &at)) {
            ok = GetLastError() == ERROR_HANDLE_EOF;
            break;
        }
        if (got == 0) break;
        done += got;
    }
    ok = SetPointer(file, pointer) && ok;
    return ok ? static_cast<int32_t>(done) : -1;
}
