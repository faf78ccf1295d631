// Rendering of inspections: the human-readable blocks of `info` and `show`, and
// their JSON forms.
#ifndef TAGMILL_TOOLS_OUTPUT_H
#define TAGMILL_TOOLS_OUTPUT_H

#include <ostream>

#include <nlohmann/json.hpp>

#include "inspect.h"

namespace tool {

// Objects keep their keys in insertion order: file first, properties in table order.
using Json = nlohmann::ordered_json;

// `info`: file kind, ID3v2 version, position, size and header flags, ID3v1 presence.
void PrintInfo(std::ostream &out, const Inspection &inspection);
Json InfoJson(const Inspection &inspection);

// `show`: one row per present string property (name, identifier, values).
void PrintStrings(std::ostream &out, const Inspection &inspection);
// {"file": ..., "version": "2.3" or null, "strings": {"title": [...], ...}}
Json StringsJson(const Inspection &inspection);

// Writes a JSON document followed by a newline; invalid UTF-8 is replaced.
void PrintJson(std::ostream &out, const Json &document);

} // namespace tool

#endif
