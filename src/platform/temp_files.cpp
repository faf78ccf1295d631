// The user's temporary directory and unique temporary files in it. The
// directory is $TMPDIR when set and non-empty, else /tmp; every temporary
// file is created empty under the prefix "id3" by mkstemp, so no two writers
// can ever pick the same name.
#include <stdlib.h>
#include <unistd.h>

#include <cwchar>
#include <string>

#include "platform/faults.h"
#include "platform/paths.h"
#include "tagmill/platform.h"

namespace {

std::string TempDirectory() {
    const char *dir = getenv("TMPDIR");
    std::string path = (dir && *dir) ? dir : "/tmp";
    if (path.back() != '/') path += '/';
    return path;
}

// Copies text and its terminator into buffer when it fits in length wide
// characters; returns the characters written without the terminator, or 0.
uint32_t CopyOut(const std::wstring &text, uint32_t length, wchar_t *buffer) {
    if (text.size() + 1 > length) return 0;
    wmemcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<uint32_t>(text.size());
}

} // namespace

uint32_t tav_get_temp_path(uint32_t length, wchar_t *buffer) {
    if (!buffer) return 0;
    return CopyOut(tav_path_from_utf8(TempDirectory()), length, buffer);
}

uint32_t tav_get_temp_file_name(const wchar_t *directory, wchar_t *name) {
    if (!directory || !name) return 0;
    if (tav_fault(TAV_OP_TEMP_NAME)) return 0;
    std::string path = tav_path_to_utf8(directory);
    if (!path.empty() && path.back() != '/') path += '/';
    path += "id3XXXXXX";
    int fd = mkstemp(&path[0]);
    if (fd < 0) return 0;
    close(fd);
    if (CopyOut(tav_path_from_utf8(path), TAV_PATH_MAX, name) == 0) {
        unlink(path.c_str());
        return 0;
    }
    return 1;
}
