// The commit: opening the edit transaction once per cycle, and writing it out.
// A commit writes the record caches into the transaction, drops any extended
// header, makes sure a title frame exists, has the engine rewrite the content,
// and only then writes the staged ID3v1 fields (the engine refuses ID3v1
// writes while an ID3v2 edit is open).
#include <string>

#include "tagmill/tagmill.h"

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

    if (tav_id3_v2_edit_end(&m_context) != TAV_OK) return E_FAIL;

    if (m_updateV1) {
        hr = UpdateV1();
        if (Failed(hr)) return hr;
    }
    m_editing = false;
    return S_OK;
}

// Writes the staged ID3v1 fields straight into the content. Text fields are
// exactly 30 bytes wide: longer values are cut, shorter ones padded with zero
// bytes (the engine stops at the first one). Each field is reset once written,
// so a failure part-way leaves the fields before it done and the rest staged.
long CTagmill::UpdateV1() {
    auto writeText = [this](std::string &value, bool &set, int32_t (*write)(tav_id3_context *, const char *)) {
        if (!set) return true;
        value.resize(kV1TextWidth, '\0');
        if (write(&m_context, value.c_str()) != TAV_OK) return false;
        value.clear();
        set = false;
        return true;
    };

    if (!writeText(m_v1Title, m_v1TitleSet, tav_id3_v1_set_title)) return E_FAIL;
    if (!writeText(m_v1Album, m_v1AlbumSet, tav_id3_v1_set_album)) return E_FAIL;
    if (m_v1GenreSet) {
        if (tav_id3_v1_set_genre(&m_context, m_v1Genre) != TAV_OK) return E_FAIL;
        m_v1Genre = kNoGenre;
        m_v1GenreSet = false;
    }
    if (!writeText(m_v1Artist, m_v1ArtistSet, tav_id3_v1_set_artist)) return E_FAIL;
    if (m_v1TrackSet) {
        if (tav_id3_v1_set_tracknumber(&m_context, m_v1Track) != TAV_OK) return E_FAIL;
        m_v1Track = 0;
        m_v1TrackSet = false;
    }
    if (m_v1YearSet) {
        if (tav_id3_v1_set_year(&m_context, static_cast<int32_t>(m_v1Year)) != TAV_OK) return E_FAIL;
        m_v1Year = 0;
        m_v1YearSet = false;
    }
    return S_OK;
}

// Objects and user-defined strings live only in their caches until the commit:
// every frame of those kinds is rewritten here from the caches, objects first.
long CTagmill::updateFrame() {
    long hr = updateGeob();
    if (Failed(hr)) return hr;
    return updateUserDefinedString();
}
