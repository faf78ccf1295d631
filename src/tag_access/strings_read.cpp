// Reading string properties: GetString answers from the cache; the loaders
// read the first text frame (or every URL frame) of the ID3v2 tag and fall
// back on the ID3v1 tag for the title, artist, album, genre and track number.
#include <cstdio>
#include <new>

#include "tag_access/frame_data.h"
#include "tag_access/mapping.h"
#include "tag_access/text_codec.h"
#include "tagmill/tagmill.h"

using namespace tagmill;

namespace {
constexpr uint32_t kNoGenre = 148;
constexpr size_t kV1BufferSize = 32;
} // namespace

// A cached list whose first value is empty counts as absent. The caller's list
// changes only on success.
long CTagmill::GetString(long propertyId, std::vector<std::wstring> &values) {
    if (!m_opened) return E_UNEXPECTED;
    if (!CheckStringPropertyID(propertyId)) return E_PROPERTY_UNSUPPORTED;
    auto found = m_strings.find(propertyId);
    if (found == m_strings.end() || found->second.empty() || found->second[0].empty()) return E_PROPERTY_ABSENT;
    try {
        std::vector<std::wstring> copy = found->second;
        values.swap(copy);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// The ID3v1 tag is consulted only when the ID3v2 tag gave no value at all: a
// frame that holds an empty text still counts as a value.
long CTagmill::GetStringInternal(long propertyId, std::vector<std::wstring> &values) {
    if (!m_opened) return E_UNEXPECTED;
    if (!CheckStringPropertyID(propertyId)) return E_PROPERTY_UNSUPPORTED;
    const size_t before = values.size();
    const long v2 = propertyId == mapping::kUrlId ? GetUrlV2(propertyId, values) : GetTextV2(propertyId, values);
    if (values.size() > before) return v2;
    return Succeeded(GetV1(propertyId, values)) ? S_OK : v2;
}

// Only the first frame of a text property is read, and of it only the first
// value.
long CTagmill::GetTextV2(long propertyId, std::vector<std::wstring> &values) {
    unsigned int frameId = 0;
    long hr = ToFrameId(propertyId, frameId, nullptr, nullptr, nullptr);
    if (Failed(hr)) return hr;
    std::wstring text;
    hr = GetV2Data2(static_cast<long>(frameId), text);
    if (Failed(hr)) return hr;
    try {
        values.push_back(text);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// A URL frame holds its single-byte text alone, without an encoding byte; every
// frame is one value, in tag order.
long CTagmill::GetUrlV2(long propertyId, std::vector<std::wstring> &values) {
    unsigned int frameId = 0;
    long hr = ToFrameId(propertyId, frameId, nullptr, nullptr, nullptr);
    if (Failed(hr)) return hr;
    uint32_t count = 0;
    if (tav_id3_v2_get_frame_num(&m_context, frameId, &count) != TAV_OK) return E_FAIL;
    if (count == 0) return E_PROPERTY_ABSENT;
    try {
        for (uint32_t index = 0; index < count; ++index) {
            tav_id3_v2_frame_header header{};
            std::vector<unsigned char> data;
            uint32_t size = 0;
            hr = framedata::Read(&m_context, frameId, index, header, data, size);
            if (Failed(hr)) return hr;
            std::wstring text;
            hr = AsciiBinary2Wstring(data.data(), static_cast<long>(size), text);
            if (Failed(hr)) return hr;
            values.push_back(text);
        }
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// The ID3v1 value of a property: the text fields as stored, the genre as a
// numeric reference "(n)" (empty for 148, "no genre"), the ID3v1.1 track byte in
// decimal. The second track-number identifier has no fall-back.
long CTagmill::GetV1(long propertyId, std::vector<std::wstring> &values) {
    char buffer[kV1BufferSize] = {0};
    uint32_t length = kV1BufferSize;
    int32_t result = TAV_OK;
    switch (propertyId) {
    case 4615: result = tav_id3_v1_get_title(&m_context, buffer, &length); break;
    case 4624: result = tav_id3_v1_get_artist(&m_context, buffer, &length); break;
    case 4620: result = tav_id3_v1_get_album(&m_context, buffer, &length); break;
    case 4616: {
        uint32_t genre = 0;
        result = tav_id3_v1_get_genre(&m_context, &genre);
        if (result == TAV_OK && genre != kNoGenre) std::snprintf(buffer, sizeof buffer, "(%u)", genre);
        break;
    }
    case 4357: {
        uint8_t track = 0;
        if (tav_id3_v1_get_tracknumebr(&m_context, &track) != TAV_OK) return E_FAIL;
        if (std::snprintf(buffer, sizeof buffer, "%u", unsigned(track)) <= 0) return E_UNEXPECTED;
        break;
    }
    default: return E_PROPERTY_UNSUPPORTED;
    }
    if (result != TAV_OK) return E_FAIL;
    try {
        values.push_back(text::FromLatin1(buffer, sizeof buffer));
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
