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

// `show`: one row per present property (name, identifier, value): the string
// properties in table order, then date, year, pictures, music ID, objects and
// user-defined strings.
void PrintShow(std::ostream &out, const Inspection &inspection);
// {"file", "version", "strings", "date", "year", "pictures", "music_id",
//  "objects", "user_strings"}; see the README for every key.
Json ShowJson(const Inspection &inspection);

// A document as one element of a JSON array printed by the batch runner:
// pretty-printed and indented two more spaces; invalid UTF-8 is replaced.
std::string JsonElement(const Json &document);

} // namespace tool

#endif
