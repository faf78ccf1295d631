// `check`'s examination of one file, read-only: can the library open it and
// read every property, does the ID3v2 tag fit in the file (or in its AIFF "ID3 "
// chunk), is its version one the format defines, do its frames follow one
// another as the layout says, and do the frames the library interprets
// (text, pictures, objects, user-defined text, comments) decode.
#ifndef TAGMILL_TOOLS_TAG_CHECK_H
#define TAGMILL_TOOLS_TAG_CHECK_H

#include <string>
#include <vector>

#include "report.h"

namespace tool {

struct CheckOutcome {
    std::vector<Failure> findings; // empty: nothing wrong
    bool hasV2 = false;
    bool hasV1 = false;
};

CheckOutcome CheckFile(const std::string &path);

} // namespace tool

#endif
