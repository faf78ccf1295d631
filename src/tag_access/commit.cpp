// The commit: opening the edit transaction once per cycle, and writing it out.
// A commit writes the record caches into the transaction, drops any extended
// header, makes sure a title frame exists, and has the engine write the new
// tag and the staged ID3v1 fields together, so that no interrupted commit can
// leave a new ID3v2 tag beside an old ID3v1 tag.
#include <cstring>
#include <string>

#include "tagmill/tagmill.h"
#include "tagmill/batch.h"

using namespace tagmill;

namespace {
constexpr long kTitle = 4615;
constexpr uint8_t kNoGenre = 148;
constexpr size_t kV1TextWidth = 30;
} // namespace

long CTagmill::V2EditBegin() {
    if (m_editing) return S_OK;
    if (tav_id3_v2_edit_begin(&m_context) != TAV_OK) return E_FAIL;
    m_editing = true;
    return S_OK;
}

long CTagmill::UpdateOnMemory() {
    if (m_context.content_type != TAV_CONTENT_MEMORY) return E_INVALIDARG;
    return Update();
}

long CTagmill::Update() {
    if (!m_editing) return E_FAIL;

    long hr = updateFrame();
    if (Failed(hr)) return hr;

    // Tags this library writes never keep an extended header: its CRC and
    // padding fields would no longer match the rewritten tag. A content that
    // has no tag yet (engine code 9) has nothing to drop.
    if (m_version == TAV_ID3_V23 || m_version == TAV_ID3_V24) {
        const int32_t rc = tav_id3_v2_remove_extended_header(&m_context);
        if (rc != TAV_OK && rc != TAV_ERR_NOT_FOUND) return E_FAIL;
    }

    // Every committed tag holds a title frame, empty when there is no title; it
    // is appended last, and the ID3v1 title is staged along with it.
    std::vector<std::wstring> title;
    hr = GetString(kTitle, title);
    if (hr == E_PROPERTY_ABSENT)
        title.assign(1, std::wstring());
    else if (Failed(hr))
        return E_FAIL;
    if (Failed(PutString(kTitle, title))) return E_FAIL;

    tav_id3_v1_update v1{};
    if (m_updateV1) stageV1(v1);
    m_context.no_sync = m_durable ? 0 : 1;
    m_context.defer_journal = m_batch ? 1 : 0;
    if (tav_id3_v2_edit_end_with_v1(&m_context, m_updateV1 ? &v1 : nullptr) != TAV_OK) return E_FAIL;
    if (m_context.deferred && Failed(hr = m_batch->add(m_context))) return hr; // the change is lost, the file old
    if (m_updateV1) clearV1();
    m_editing = false;
    return S_OK;
}

// The staged ID3v1 fields for the engine. Text fields are exactly 30 bytes
// wide: longer values are cut, shorter ones padded with zero bytes (the
// engine stops at the first one).
void CTagmill::stageV1(tav_id3_v1_update &v1) const {
    auto text = [&v1](const std::string &value, bool set, uint32_t bit, char (&field)[31]) {
        if (!set) return;
        std::string padded = value;
        padded.resize(kV1TextWidth, '\0');
        std::memcpy(field, padded.data(), kV1TextWidth);
        field[kV1TextWidth] = '\0';
        v1.fields |= bit;
    };
    text(m_v1Title, m_v1TitleSet, TAV_V1_TITLE, v1.title);
    text(m_v1Album, m_v1AlbumSet, TAV_V1_ALBUM, v1.album);
    text(m_v1Artist, m_v1ArtistSet, TAV_V1_ARTIST, v1.artist);
    if (m_v1GenreSet) v1.fields |= TAV_V1_GENRE;
    if (m_v1TrackSet) v1.fields |= TAV_V1_TRACK;
    if (m_v1YearSet) v1.fields |= TAV_V1_YEAR;
    v1.genre = m_v1Genre;
    v1.track = m_v1Track;
    v1.year = static_cast<int32_t>(m_v1Year);
}

// Once written, the staged fields start over.
void CTagmill::clearV1() {
    m_v1Title.clear();
    m_v1Album.clear();
    m_v1Artist.clear();
    m_v1Genre = kNoGenre;
    m_v1Track = 0;
    m_v1Year = 0;
    m_v1TitleSet = m_v1AlbumSet = m_v1ArtistSet = m_v1GenreSet = m_v1TrackSet = m_v1YearSet = false;
}

// Objects and user-defined strings live only in their caches until the commit:
// every frame of those kinds is rewritten here from the caches, objects first.
long CTagmill::updateFrame() {
    long hr = updateGeob();
    if (Failed(hr)) return hr;
    return updateUserDefinedString();
}
