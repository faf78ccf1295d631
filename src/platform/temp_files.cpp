// Unique temporary files: beside the file that they will replace, as hidden
// ".<name>.id3XXXXXX" files, or in the user's temporary directory ($TMPDIR
// when set and non-empty, else /tmp) under the prefix "id3". Each is created
// empty by mkstemp (mkostemp), so no two writers can ever pick the same name.
#include <stdlib.h>
#include <unistd.h>

#include <cwchar>
#include <string>

#include "platform/beside_file.h"
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

int32_t tav_create_temp_beside(const wchar_t *path, wchar_t *name) {
    if (!path || !name) return -1;
    // Beside the file that a move will replace: a link's target.
    std::string directory, base;
    tav_split_path(tav_resolve_links(tav_path_to_utf8(path)), &directory, &base);
    if (base.empty()) return -1;
    tav_beside_file file;
    switch (tav_create_beside_file(directory, base, false, &file)) {
    case tav_beside_result::kCreated: break;
    case tav_beside_result::kDirectoryRefused: return TAV_OPEN_DENIED;
    case tav_beside_result::kFailed: return -1;
    }
    close(file.fd);
    file.fd = -1;
    // The name travels as wide text: one that the buffer cannot hold, or
    // that would not come back to the same bytes (a link's target need not
    // be UTF-8), is of no use.
    const std::wstring wide = tav_path_from_utf8(file.name);
    if (tav_path_to_utf8(wide.c_str()) != file.name || CopyOut(wide, TAV_PATH_MAX, name) == 0) {
        tav_discard_beside_file(&file);
        return TAV_OPEN_DENIED;
    }
    return 0;
}
