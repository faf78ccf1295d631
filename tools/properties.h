// The string properties the program knows: the library's numeric property
// identifier, the name used in tables, JSON keys and `set` options, and whether
// `set` may write it.
#ifndef TAGMILL_TOOLS_PROPERTIES_H
#define TAGMILL_TOOLS_PROPERTIES_H

#include <string>
#include <vector>

namespace tool {

struct Property {
    const char *name;        // table name and JSON key, e.g. "artist_url"
    long id;                 // property identifier passed to GetString/PutString
    bool settable;           // false for the user-defined strings
    const char *description; // one line for --help
};

// Every string property, in display order.
const std::vector<Property> &StringProperties();

// The property called name, or null.
const Property *FindProperty(const std::string &name);

// The long option of a property: "--" and its name with '_' turned into '-'.
std::string OptionName(const Property &property);

} // namespace tool

#endif
