// The table of string properties: names, identifiers, and which ones `set`
// writes. The two track and two disc identifiers name the same frame.
#include "properties.h"

#include <algorithm>

namespace tool {

const std::vector<Property> &StringProperties() {
    static const std::vector<Property> kProperties = {
        {"title", 4615, true, "Title"},
        {"track", 4357, true, "Track number, e.g. 3 or 3/12 (also the ID3v1 track)"},
        {"track2", 4397, true, "Track number (same frame as track; ID3v1 untouched)"},
        {"isrc", 4610, true, "International Standard Recording Code"},
        {"genre", 4616, true, "Genre: a name, or (N) for ID3v1 genre N"},
        {"copyright", 4617, true, "Copyright notice"},
        {"album", 4620, true, "Album"},
        {"artist", 4624, true, "Lead artist"},
        {"artist_url", 4646, true, "Artist web page (repeat for several)"},
        {"composer", 4627, true, "Composer"},
        {"encoded_by", 8450, true, "Encoded by (person or software)"},
        {"disc", 288, true, "Disc number (part of a set), e.g. 1/2"},
        {"disc2", 289, true, "Disc number (same frame as disc)"},
        {"band", 528, true, "Band / album artist"},
        {"title_sort", 5639, true, "Title sort order"},
        {"album_sort", 5644, true, "Album sort order"},
        {"artist_sort", 5648, true, "Artist sort order"},
        {"album_artist_sort", 593, true, "Album artist sort order"},
        {"composer_sort", 5651, true, "Composer sort order"},
        {"gn_extdata", 4717, false, "User-defined string GN_ExtData"},
        {"itunsmpb", 9233, false, "User-defined comment iTunSMPB"},
    };
    return kProperties;
}

const Property *FindProperty(const std::string &name) {
    const auto &all = StringProperties();
    auto it = std::find_if(all.begin(), all.end(),
                           [&](const Property &p) { return name == p.name; });
    return it == all.end() ? nullptr : &*it;
}

std::string OptionName(const Property &property) {
    std::string option = std::string("--") + property.name;
    std::replace(option.begin(), option.end(), '_', '-');
    return option;
}

} // namespace tool
