// Conversion between the library's wide paths (one wchar_t per code point)
// and the UTF-8 byte strings that the file system takes, the file a symbolic
// link names and the parts of a path, plus a size query by name that the
// class layer shares with the file primitives.
#ifndef TAGMILL_PLATFORM_PATHS_H
#define TAGMILL_PLATFORM_PATHS_H

#include <cstdint>
#include <string>

// UTF-8 form of a wide path, up to its terminator. Code points that cannot be
// encoded (surrogates, values above U+10FFFF) become U+FFFD. Null gives "".
std::string tav_path_to_utf8(const wchar_t *path);

// Wide form of a UTF-8 path; malformed sequences become U+FFFD.
std::wstring tav_path_from_utf8(const std::string &path);

// Follows a path whose last component is a symbolic link to the file it
// names (realpath); any other path, and a link that leads nowhere, stays as
// it is. A link among the directories needs no resolving: the file's
// directory is the same directory either way.
std::string tav_resolve_links(const std::string &path);

// The directory that holds path ("." when it names none, "/" at the root)
// and its last component (empty when path ends in '/').
void tav_split_path(const std::string &path, std::string *directory, std::string *base);

// Size of the file or directory at path (following links). False when the
// path is null or cannot be examined.
bool tav_stat_size(const wchar_t *path, int64_t *size);

#endif
