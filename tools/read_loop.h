// The per-file work of the read-only sub-commands `info` and `show`: inspect
// the file and render it as a text block or a JSON array element, for the
// batch runner to print in order.
#ifndef TAGMILL_TOOLS_READ_LOOP_H
#define TAGMILL_TOOLS_READ_LOOP_H

#include <ostream>

#include "batch.h"
#include "inspect.h"
#include "output.h"

namespace tool {

struct Renderer {
    void (*text)(std::ostream &out, const Inspection &inspection);
    Json (*json)(const Inspection &inspection);
    bool withRecords; // read pictures, dates and the other records too
};

// Runs over the files of flags. Files that fail are reported on standard
// error and left out of the output; the summary counts the files with an
// ID3v2 and with an ID3v1 tag.
int InspectEach(const char *command, const BatchFlags &flags, bool asJson, const Renderer &renderer);

} // namespace tool

#endif
