// A new file in the same directory as a file that it will replace: where a
// move that crosses file systems stages its copy, so that the final step can
// be a rename within one directory.
#ifndef TAGMILL_PLATFORM_BESIDE_FILE_H
#define TAGMILL_PLATFORM_BESIDE_FILE_H

#include <string>

struct tav_beside_file {
    int fd = -1;
    std::string name; // empty while the file has no name yet
};

enum class tav_beside_result { kCreated, kFailed, kDirectoryRefused };

// Creates an empty file in directory, open for writing. Where the file system
// allows, the file has no name until tav_name_beside_file gives it one, so a
// process killed while filling it leaves nothing behind; elsewhere it is
// created at once as ".<base>.id3XXXXXX". kDirectoryRefused when the
// directory does not let this process add entries. A TAV_OP_TEMP_NAME fault
// point.
tav_beside_result tav_create_beside_file(const std::string &directory, const std::string &base,
                                         bool allow_unnamed, tav_beside_file *file);

// Gives an unnamed file its ".<base>.id3XXXXXX" name (a no-op for a named
// one). False when the system offers no way to link an open file.
bool tav_name_beside_file(const std::string &directory, const std::string &base, tav_beside_file *file);

// Closes the descriptor if open and removes the name if there is one; the
// cleanup of a failed move, so it is no fault point.
void tav_discard_beside_file(tav_beside_file *file);

#endif
