// The loop shared by the read-only sub-commands: inspect each file, print it as
// text or collect it into one JSON array, report failures and carry on.
#ifndef TAGMILL_TOOLS_READ_LOOP_H
#define TAGMILL_TOOLS_READ_LOOP_H

#include <ostream>
#include <string>
#include <vector>

#include "inspect.h"
#include "output.h"

namespace tool {

struct Renderer {
    void (*text)(std::ostream &out, const Inspection &inspection);
    Json (*json)(const Inspection &inspection);
};

// Returns kExitOk, or kExitFileFailed when any file could not be read. Files
// that fail are reported on standard error and left out of the output.
int InspectEach(const std::vector<std::string> &files, bool asJson, const Renderer &renderer);

} // namespace tool

#endif
