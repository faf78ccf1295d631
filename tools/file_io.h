// Whole-file reads and writes for the files the program makes or takes besides
// the audio files: pictures, exported tags.
#ifndef TAGMILL_TOOLS_FILE_IO_H
#define TAGMILL_TOOLS_FILE_IO_H

#include <cstddef>
#include <string>
#include <vector>

namespace tool {

// False with a reason ("No such file or directory", "is a directory") when the
// file cannot be read whole.
bool ReadBytes(const std::string &path, std::vector<unsigned char> &bytes, std::string &error);

// Writes through a temporary file next to path that then replaces it, so path
// holds either its old content or all of the new one. Missing parent
// directories are created when makeParents is set.
bool WriteBytes(const std::string &path, const unsigned char *data, size_t size, bool makeParents,
                std::string &error);

} // namespace tool

#endif
