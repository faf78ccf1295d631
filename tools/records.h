// The record-valued properties of an open tag, read into plain values for
// printing: release date and year, pictures (with a short digest of their
// bytes), the music ID, encapsulated objects and user-defined strings.
#ifndef TAGMILL_TOOLS_RECORDS_H
#define TAGMILL_TOOLS_RECORDS_H

#include <optional>
#include <string>
#include <vector>

#include <tagmill/tagmill.h>

#include "report.h"

namespace tool {

struct PictureInfo {
    std::string mime;
    long size = 0;
    std::string sha1; // first 12 hex digits of the SHA-1 of the picture bytes
};

struct MusicIdInfo {
    std::string owner;
    std::string idHex; // the identifier's bytes in lower-case hex
};

struct ObjectInfo {
    long property = 0;
    std::string description;
    std::string mime;
    long size = 0;
};

struct UserStringInfo {
    long property = 0;
    std::string description;
    std::optional<std::string> language; // comment frames only
    std::string value;
};

struct RecordInfo {
    std::optional<std::string> date; // YYYY-MM-DD
    std::optional<std::string> year;
    std::vector<PictureInfo> pictures;
    std::optional<MusicIdInfo> musicId;
    std::vector<ObjectInfo> objects;
    std::vector<UserStringInfo> userStrings;
};

// Property identifiers read, in display order.
constexpr long kDateProperty = 5120;
constexpr long kPictureProperty = 4640;
constexpr long kMusicIdProperty = 5891;
const std::vector<long> &ObjectProperties();
const std::vector<long> &UserStringProperties();

// The record-valued properties that can be written: the library gives each a
// fixed description (and objects a fixed MIME type), and writes only these.
struct RecordRow {
    long property;
    const char *description;
    const char *mime; // objects only
};
const std::vector<RecordRow> &ObjectRows();     // GEOB
const std::vector<RecordRow> &UserStringRows(); // TXXX
const std::vector<RecordRow> &CommentRows();    // COMM

// Absent properties are left out; any other failure of a getter ends the read.
bool ReadRecords(CTagmill &tag, RecordInfo &out, Failure &failure);

// "2019-05-03" for a date in the library's day-count form, or nothing when the
// value lies outside the calendar the library covers.
std::optional<std::string> IsoDate(double date);

} // namespace tool

#endif
