// What kind of file a path names, judged from its first and last bytes, and the
// matching way to open it: AIFF/AIFF-C forms keep their tag in an "ID3 " chunk
// and must be opened with OpenForAiff; everything else goes through Open2.
#ifndef TAGMILL_TOOLS_FILE_KIND_H
#define TAGMILL_TOOLS_FILE_KIND_H

#include <cstddef>
#include <string>

#include <tagmill/tagmill.h>

namespace tool {

enum class FileKind {
    Missing,   // nothing at that path (the library reports it)
    Directory, // a directory, not a file
    Unreadable,// exists but cannot be read here (the library reports it)
    Aiff,      // "FORM" <size> "AIFF" or "AIFC"
    Mpeg,      // an ID3v2 or ID3v1 tag, or MPEG audio frames near the start
    Unknown,   // a readable file that looks like neither
};

FileKind ClassifyFile(const std::string &path);

// A quick look at the first bytes (12 suffice) only: an ID3v2 header, an MPEG
// audio frame header, or an AIFF/AIFF-C form. Used to pick audio files out of
// a directory without reading far into every file.
bool StartsLikeAudio(const unsigned char *head, size_t size);

// Short lower-case name for output ("mpeg", "aiff", ...).
const char *KindName(FileKind kind);

// Opens path in the given open mode with the member that fits its kind. The
// ID3v1 flag is ignored for AIFF files, which never carry an ID3v1 tag.
long OpenByKind(CTagmill &tag, const std::string &path, FileKind kind, long openMode,
                bool updateV1 = true);

} // namespace tool

#endif
