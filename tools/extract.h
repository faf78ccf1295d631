// What `extract-picture` and `export-tag` share: their arguments (FILE OUT for
// one file, or FILE... / -r DIR with --out-dir DIR for many), where each
// input's output goes, and the per-file flow of read, then write.
//
// With --out-dir, an input's output is the directory joined with the input's
// name below its -r root (its base name when it was given directly) plus an
// extension: covers/album/01.mp3.jpg for album/01.mp3 under -r music.
// Keeping the audio file's own extension makes every name unique, except for
// same-named files given directly from different directories, which are
// refused rather than overwritten.
#ifndef TAGMILL_TOOLS_EXTRACT_H
#define TAGMILL_TOOLS_EXTRACT_H

#include <functional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <tagmill/tagmill.h>

#include "batch.h"

namespace tool {

struct ExtractOptions {
    BatchFlags batch;
    std::vector<std::string> args;
    std::string outDir;
};

void AddExtractOptions(CLI::App &app, ExtractOptions &options, const char *what);

// What one input yields: nothing to extract (missing is the reason, e.g. "has
// no picture"), or bytes with the extension that fits them.
struct Extracted {
    std::vector<unsigned char> bytes;
    std::string extension;   // without the dot
    const char *missing = nullptr;
};

// Reads the thing to extract from one file. False with failure set when the
// file cannot be read.
using Extractor = std::function<bool(const std::string &path, Extracted &out, Failure &failure)>;

// Opens an input for reading. Ok: open. NoTag: an AIFF form without an "ID3 "
// chunk, which holds nothing to extract. Failed: failure says why (missing,
// a directory, not MP3 or AIFF, the library's refusal).
enum class Opened { Ok, NoTag, Failed };
Opened OpenSource(CTagmill &tag, const std::string &path, Failure &failure);

// The whole command: plans outputs, extracts and writes. `none` names the
// summary's count of files without anything to extract ("without a picture");
// in one-file mode such a file is a failure.
int RunExtract(const char *command, const ExtractOptions &options, const char *none, const Extractor &extractor);

} // namespace tool

#endif
