// Conversion between the library's wide paths (one wchar_t per code point)
// and the UTF-8 byte strings that the file system takes, plus a size query by
// name that the class layer shares with the file primitives.
#ifndef TAGMILL_PLATFORM_PATHS_H
#define TAGMILL_PLATFORM_PATHS_H

#include <cstdint>
#include <string>

// UTF-8 form of a wide path, up to its terminator. Code points that cannot be
// encoded (surrogates, values above U+10FFFF) become U+FFFD. Null gives "".
std::string tav_path_to_utf8(const wchar_t *path);

// Wide form of a UTF-8 path; malformed sequences become U+FFFD.
std::wstring tav_path_from_utf8(const std::string &path);

// Size of the file or directory at path (following links). False when the
// path is null or cannot be examined.
bool tav_stat_size(const wchar_t *path, int64_t *size);

#endif
