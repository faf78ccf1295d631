// String writes: PutString and the helpers every writer shares. A put never
// touches the content: it removes the property's frames from the edit
// transaction, appends the replacement frames and stages the ID3v1 field; the
// commit (commit.cpp) writes it all out.
#include <cstdint>
#include <cstdlib>
#include <new>

#include "tag_access/mapping.h"
#include "tag_access/number_text.h"
#include "tag_access/text_codec.h"
#include "tagmill/tagmill.h"

using namespace tagmill;

namespace {

// Identifiers with special handling on the write path.
constexpr long kTitle = 4615;
constexpr long kTrackNumber = 4357;
constexpr long kGenre = 4616;
constexpr long kAlbum = 4620;
constexpr long kArtist = 4624;
constexpr long kArtistUrl = mapping::kUrlId;
constexpr long kMusicId = mapping::kMusicId;

constexpr uint8_t kNoGenre = 148;

// A frame header record that carries only an ID and a payload size: the
// library never writes frame flags or the extra bytes they announce.
tav_id3_v2_frame_header PlainFrameHeader(uint32_t frameId, size_t size) {
    tav_id3_v2_frame_header header{};
    header.id = frameId;
    header.size = static_cast<uint32_t>(size);
    return header;
}

// Unicode text payload: encoding byte 1, a little-endian byte-order mark, the
// UTF-16 code units and a 0x0000 terminator. The same layout is written into
// ID3v2.2, 2.3 and 2.4 tags, since all three read it.
std::vector<unsigned char> UnicodePayload(const std::wstring &text) {
    std::vector<unsigned char> payload{0x01, 0xFF, 0xFE};
    text::AppendUtf16Le(payload, text);
    payload.push_back(0x00);
    payload.push_back(0x00);
    return payload;
}

// Single-byte text payload: encoding byte 0, the text narrowed to the
// single-byte character set, one zero terminator.
std::vector<unsigned char> NarrowPayload(const std::wstring &text) {
    const std::string narrow = text::ToLatin1(text);
    std::vector<unsigned char> payload;
    payload.reserve(narrow.size() + 2);
    payload.push_back(0x00);
    payload.insert(payload.end(), narrow.begin(), narrow.end());
    payload.push_back(0x00);
    return payload;
}

} // namespace

long CTagmill::PutString(long propertyId, const std::vector<std::wstring> &values) {
    if (!m_opened) return E_UNEXPECTED;
    if (!CheckStringPropertyID(propertyId)) return E_PROPERTY_UNSUPPORTED;

    long hr = V2EditBegin();
    if (Failed(hr)) return hr;
    hr = DeleteFrame(propertyId);
    if (Failed(hr)) return hr;
    m_strings.erase(propertyId);

    hr = propertyId == kArtistUrl ? SetUrlV2(propertyId, values) : SetTextV2(propertyId, values);
    if (Failed(hr)) return hr;
    hr = SetV1(propertyId, values);
    if (Failed(hr)) return hr;

    // An empty list removes the property; the cache never holds an empty list.
    if (values.empty()) return S_OK;
    // The cache keeps every value put, although only the first one reaches the
    // frame: readers see the whole list until the content is reopened.
    m_strings[propertyId] = values;
    return S_OK;
}

// Removes the frames of a property from the edit transaction. Only properties
// that loaded into a cache are removed: a frame the loader could not read (an
// unknown text encoding, say) stays beside the new one, as the host never saw
// it. The music ID is the exception: its frames always go.
long CTagmill::DeleteFrame(long propertyId) {
    unsigned int frameId = 0;
    long hr = ToFrameId(propertyId, frameId, nullptr, nullptr, nullptr);
    if (Failed(hr)) return hr;

    const bool cached = m_strings.count(propertyId) || m_pictures.count(propertyId) ||
                        m_musicIds.count(propertyId) || m_geobs.count(propertyId) ||
                        m_userStrings.count(propertyId);
    if (!cached) {
        if (propertyId != kMusicId) return S_OK;
        uint32_t count = 0;
        if (tav_id3_v2_get_frame_num(&m_context, frameId, &count) != TAV_OK) return E_FAIL;
        for (int32_t index = static_cast<int32_t>(count) - 1; index >= 0; --index)
            if (tav_id3_v2_remove_frame(&m_context, frameId, index) != TAV_OK) return E_FAIL;
        return S_OK;
    }

    // Count the frames with this ID in the transaction's list (loaded and
    // appended alike), then remove from the back so indices stay valid. The
    // first call, one past the last frame, finds nothing; results are ignored
    // because a read-only frame simply stays.
    int32_t count = 0;
    while (tav_id3_v2_find_frame_index(&m_context, frameId, count) != -1) ++count;
    for (int32_t index = count; index >= 0; --index) tav_id3_v2_remove_frame(&m_context, frameId, index);
    return S_OK;
}

// Removes every frame with the ID that the stored tag holds. Frames appended in
// this transaction beyond the stored count survive, which lets a writer first
// clear the stored frames and then append the whole new set.
long CTagmill::deleteAllFrames(unsigned int frameId) {
    long hr = V2EditBegin();
    if (Failed(hr)) return hr;
    uint32_t count = 0;
    if (tav_id3_v2_get_frame_num(&m_context, frameId, &count) != TAV_OK) return E_FAIL;
    for (int32_t index = static_cast<int32_t>(count) - 1; index >= 0; --index)
        if (tav_id3_v2_remove_frame(&m_context, frameId, index) != TAV_OK) return E_FAIL;
    return S_OK;
}

// A text frame holds one value: the first of the list. Later values live only
// in the cache.
long CTagmill::SetTextV2(long propertyId, const std::vector<std::wstring> &values) {
    if (values.empty()) return S_OK;
    unsigned int frameId = 0;
    long hr = ToFrameId(propertyId, frameId, nullptr, nullptr, nullptr);
    if (Failed(hr)) return hr;
    return SetV2Data(static_cast<long>(frameId), values.front(), needsUnicode(propertyId, values.front()));
}

// Appends one text frame after the frames already in the transaction.
long CTagmill::SetV2Data(long frameId, const std::wstring &text, bool unicode) {
    const std::vector<unsigned char> payload = unicode ? UnicodePayload(text) : NarrowPayload(text);
    const tav_id3_v2_frame_header header = PlainFrameHeader(static_cast<uint32_t>(frameId), payload.size());
    if (tav_id3_v2_add_frame(&m_context, &header, payload.data()) != TAV_OK) return E_FAIL;
    return S_OK;
}

// URL frames carry no encoding byte and no terminator: the frame is exactly
// the narrowed text. Each value gets a frame of its own.
long CTagmill::SetUrlV2(long propertyId, const std::vector<std::wstring> &values) {
    if (values.empty()) return S_OK;
    unsigned int frameId = 0;
    long hr = ToFrameId(propertyId, frameId, nullptr, nullptr, nullptr);
    if (Failed(hr)) return hr;
    try {
        for (const std::wstring &value : values) {
            const std::string url = text::ToLatin1(value);
            const tav_id3_v2_frame_header header = PlainFrameHeader(frameId, url.size());
            // data() of an empty string is still a valid pointer, so an empty
            // URL becomes a frame of size 0 rather than a refused add.
            if (tav_id3_v2_add_frame(&m_context, &header, reinterpret_cast<const uint8_t *>(url.data())) !=
                TAV_OK)
                return E_FAIL;
        }
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// Stages the ID3v1 field of the five properties that the old tag knows. The
// values are narrowed here; fitting them into the fixed fields is the commit's
// job.
long CTagmill::SetV1(long propertyId, const std::vector<std::wstring> &values) {
    const std::string first = values.empty() ? std::string() : text::ToLatin1(values.front());
    switch (propertyId) {
    case kTrackNumber:
        // "3/12" is track 3: the number stops at the slash; the field is one byte.
        m_v1Track = static_cast<unsigned char>(numbertext::LeadingNumber(first) & 0xFF);
        m_v1TrackSet = true;
        break;
    case kTitle:
        m_v1Title = first;
        m_v1TitleSet = true;
        break;
    case kArtist:
        m_v1Artist = first;
        m_v1ArtistSet = true;
        break;
    case kAlbum:
        m_v1Album = first;
        m_v1AlbumSet = true;
        break;
    case kGenre:
        m_v1Genre = values.empty() ? kNoGenre : getNumericalGenre(values.front());
        m_v1GenreSet = true;
        break;
    default:
        break;
    }
    return S_OK;
}
