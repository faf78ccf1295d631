// Read-only look at one file, shared by `info` and `show`: its kind, the ID3v2
// header as the engine parses it, whether an ID3v1 tag is there, the values of
// every string property the library loaded and, for `show`, the record-valued
// properties.
#ifndef TAGMILL_TOOLS_INSPECT_H
#define TAGMILL_TOOLS_INSPECT_H

#include <string>
#include <utility>
#include <vector>

#include <tagmill/tagmill.h>

#include "file_kind.h"
#include "properties.h"
#include "records.h"
#include "report.h"

namespace tool {

struct Inspection {
    std::string file;
    FileKind kind = FileKind::Unknown;
    bool id3ChunkMissing = false; // an AIFF form without an "ID3 " chunk
    bool hasV2 = false;
    tav_id3_v2_header header{};   // meaningful when hasV2
    bool hasV1 = false;
    // Present string properties in table order, values as UTF-8.
    std::vector<std::pair<const Property *, std::vector<std::string>>> strings;
    RecordInfo records; // filled when asked for
    // With the records: frames of the ID3v2 tag that back none of the
    // properties above (what only `frames` lists).
    size_t unlistedFrames = 0;
};

// "2.2", "2.3", "2.4", or "" when the header's version is not one of them.
std::string VersionText(long versionCode);

// Opens path for reading (open mode 1) with the member its kind needs. An AIFF
// form without an "ID3 " chunk cannot be opened for reading; noTag then comes
// back true, so callers can tell "no tag" from a real failure.
long OpenForReading(CTagmill &tag, const std::string &path, FileKind &kind, bool &noTag);

// Opens path for reading, fills out and closes it again. False with failure set
// when the file cannot be read as a tagged file.
bool Inspect(const std::string &path, bool withRecords, Inspection &out, Failure &failure);

} // namespace tool

#endif
