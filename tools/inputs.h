// The files a run works on: the paths given on the command line, as they are,
// and the audio files found below each directory given with -r, in a stable
// order (entries sorted by name, depth first) so that repeated runs list the
// same files in the same order.
#ifndef TAGMILL_TOOLS_INPUTS_H
#define TAGMILL_TOOLS_INPUTS_H

#include <string>
#include <vector>

#include "report.h"

namespace tool {

struct InputFile {
    std::string path;     // as given, or the root joined with the relative path
    std::string relative; // path below its -r root; the base name for a path given directly
};

struct InputProblem {
    std::string path;
    Failure failure;
};

// Whether a directory entry is worth reading: a name ending in .mp3, .aif,
// .aiff or .aifc (any case), or else content that starts like an ID3v2 tag, an
// MPEG audio frame or an AIFF/AIFF-C form.
bool LooksLikeAudio(const std::string &path);

// Paths given directly come first, in their order, then each root's files.
// Directories that cannot be listed are reported in problems; the walk goes on.
std::vector<InputFile> CollectInputs(const std::vector<std::string> &files, const std::vector<std::string> &roots,
                                     std::vector<InputProblem> &problems);

// The files without repeats: a file named twice (directly and through -r, or
// through a link) keeps its first place only. Paths that cannot be examined
// are kept, to be reported when they are worked on.
std::vector<InputFile> DistinctFiles(const std::vector<InputFile> &files);

} // namespace tool

#endif
