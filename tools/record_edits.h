// The record-valued changes that `set` makes: user-defined strings, comments,
// encapsulated objects and the music ID. The library keeps each of them under
// a property named by a fixed description (objects and user-defined strings)
// or by the music-ID provider (music ID); the options name the description.
#ifndef TAGMILL_TOOLS_RECORD_EDITS_H
#define TAGMILL_TOOLS_RECORD_EDITS_H

#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <tagmill/tagmill.h>

#include "report.h"

namespace tool {

// One change of a record-valued property: a new value, or its removal.
struct RecordEdit {
    long property = 0;
    bool remove = false;
    std::wstring value;    // user-defined string or comment
    std::string language;  // comment: three letters
    std::shared_ptr<const std::vector<unsigned char>> data; // object or music ID
    std::string owner;     // music ID: empty for the library's own owner
};

struct RecordOptions {
    std::vector<std::string> userStrings, comments, objects; // DESC=VALUE, [LANG:]DESC=TEXT, DESC=FILE[:MIME]
    std::string musicId;                                     // HEX or @FILE
    std::vector<std::string> removeUserStrings, removeComments, removeObjects; // DESC
    bool removeMusicId = false;
};

void AddRecordOptions(CLI::App &app, RecordOptions &options);

// Checks the options and reads the files they name. False with a message
// naming the option and the value.
bool PlanRecordEdits(const RecordOptions &options, std::vector<RecordEdit> &edits, std::string &message);

// A music ID given as 128 hex digits; false with a message otherwise.
bool ParseMusicId(const std::string &hex, std::vector<unsigned char> &bytes, std::string &message);

// Puts one change into the open tag (a fresh record per call: the tag object
// keeps it). The library's result.
long PutRecordEdit(CTagmill &tag, const RecordEdit &edit);

// "the user-defined string GN_ExtData", for messages.
std::string DescribeRecord(long property);

} // namespace tool

#endif
