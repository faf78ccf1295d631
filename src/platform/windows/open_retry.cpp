// Opening a file by name with the retry after a sharing violation: a player
// or a virus scanner that holds the file for a moment should not make a tag
// edit fail, so the open waits and tries again twice before giving up.
#include "platform/windows/handles.h"

namespace {

const int kAttempts = 3;
const DWORD kRetryDelayMs = 100;

} // namespace

HANDLE tav_win_open(const wchar_t *path, DWORD access, DWORD creation) {
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        file = CreateFileW(path, access, FILE_SHARE_READ, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) break;
        if (GetLastError() != ERROR_SHARING_VIOLATION || attempt == kAttempts) break;
        Sleep(kRetryDelayMs);
    }
    return file;
}
