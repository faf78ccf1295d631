// The JSON round trip of `set --from-json`: a document in the form `show
// --json` prints becomes the changes that make the file hold what it says.
// Keys present are written, null or empty removes, absent keys are left
// alone, and a value equal to the file's current one is no change at all, so
// applying unedited output plans nothing and the file is never opened for
// writing.
#ifndef TAGMILL_TOOLS_JSON_EDITS_H
#define TAGMILL_TOOLS_JSON_EDITS_H

#include <string>

#include <nlohmann/json.hpp>

#include "edits.h"
#include "inspect.h"

namespace tool {

// False with problem set ("objects[1]: ...") when the document asks for
// something that cannot be written; the file is then left alone.
bool PlanFromJson(const nlohmann::json &doc, const Inspection &current, EditPlan &plan, std::string &problem);

} // namespace tool

#endif
