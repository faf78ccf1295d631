// Names of the numbered genres that ID3v1 tags store as a byte and ID3v2 genre
// texts may refer to as "(17)".
#ifndef TAGMILL_TOOLS_GENRES_H
#define TAGMILL_TOOLS_GENRES_H

#include <string>

namespace tool {

// The name of genre number n, or null for a number without one.
const char *GenreName(unsigned n);

// A genre text for display: "(17)" and a bare "17" gain the name ("(17) Rock");
// every other text comes back as it is.
std::string GenreWithName(const std::string &text);

} // namespace tool

#endif
