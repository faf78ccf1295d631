// Loading the property cache when a content is opened: every row of the frame
// mapping table, in table order, goes to the loader of its kind; an open for
// reading and writing then writes the core properties straight back.
#include <map>
#include <new>
#include <utility>
#include <vector>

#include "tag_access/mapping.h"
#include "tagmill/tagmill.h"

using namespace tagmill;

namespace {

constexpr long kModeReadWrite = 2;

// Title, track number, genre, album and artist: the properties that an open
// for reading and writing re-writes, so that the commit at Close stores them
// in the library's own encodings (and in the ID3v1 tag).
bool IsRewrittenOnOpen(long propertyId) {
    switch (propertyId) {
    case 4357: case 4615: case 4616: case 4620: case 4624: return true;
    default: return false;
    }
}

// Loaders of the other kinds fill a fresh list; only a result of S_OK with a
// value enters the cache (S_FALSE, "nothing of ours", does not).
template <typename List, typename Load>
void LoadInto(std::map<long, List> &cache, long propertyId, Load load) {
    List list;
    if (load(list) == S_OK && !list.empty()) cache.emplace(propertyId, std::move(list));
}

} // namespace

// Each row goes to the first kind that claims its identifier, in this order:
// picture, music ID, object, user-defined string, string. 4717 and 9233 are
// string identifiers too, but the user-defined strings claim them first. A
// property that fails to load is simply not cached and the open goes on; an
// entry already in a cache is never replaced.
long CTagmill::GetAllProperty(long openMode) {
    if (!m_opened) return E_UNEXPECTED;
    try {
        for (size_t row = 0; row < mapping::kTableSize; ++row) {
            const long id = mapping::kTable[row].propertyId;
            int index = -1;
            if (CheckBinaryPropertyID(id)) {
                LoadInto(m_pictures, id, [&](PictureList &list) { return GetBinaryInternal(id, list); });
            } else if (id == mapping::kMusicId) {
                LoadInto(m_musicIds, id, [&](MusicIdList &list) { return GetMusicIdInternal(id, list); });
            } else if (mapping::IsObjectId(id)) {
                LoadInto(m_geobs, id, [&](GeobList &list) { return GetGeobInternal(id, list, index); });
            } else if (mapping::IsUserDefinedStringId(id)) {
                LoadInto(m_userStrings, id,
                         [&](UserStringList &list) { return GetUserDefinedStringInternal(id, list, index); });
            } else {
                std::vector<std::wstring> values;
                if (GetStringInternal(id, values) != S_OK || values.empty()) continue;
                m_strings.emplace(id, values);
                if (openMode == kModeReadWrite && IsRewrittenOnOpen(id) && !values[0].empty())
                    PutString(id, values);
            }
        }
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    // The release date comes last; a content without one keeps the no-date
    // marker.
    GetDateInternal(mapping::kDateId, m_releaseDate);
    return S_OK;
}
