// The library's integer handles over Windows file handles, and the open that
// every primitive taking a path shares. Kernel handles fit in 32 bits (the
// system sign-extends them), so a handle travels as the int32_t the engine
// keeps; INVALID_HANDLE_VALUE becomes -1, the library's "no file".
#ifndef TAGMILL_PLATFORM_WINDOWS_HANDLES_H
#define TAGMILL_PLATFORM_WINDOWS_HANDLES_H

#include <windows.h>

#include <cstdint>

inline HANDLE tav_win_handle(int32_t handle) { return LongToHandle(handle); }
inline int32_t tav_win_handle_value(HANDLE handle) { return HandleToLong(handle); }

// 0 and -1 name no file.
inline bool tav_win_is_file_handle(int32_t handle) { return handle != 0 && handle != -1; }

// CreateFileW sharing reads only. A file that another process holds open
// against us (a sharing violation) is tried three times, 100 ms apart; the
// result is the handle or INVALID_HANDLE_VALUE with the last error set.
HANDLE tav_win_open(const wchar_t *path, DWORD access, DWORD creation);

// Positions and sizes are 32-bit in the tag formats; all bits set is reserved
// for "invalid size", so a usable file is at most 0xFFFFFFFE bytes long.
const int64_t kTavLargestFileSize = 0xFFFFFFFELL;

#endif
