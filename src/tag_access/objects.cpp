// Encapsulated-object properties (5894, 5895, 8448, 4644, 8451): "GEOB"
// frames ("GEO" in ID3v2.2), one property per description. Loaded from the
// first frame whose description matches; put into the cache only, and written
// back as a whole by the commit.
#include <new>

#include "tag_access/mapping.h"
#include "tag_access/record_frames.h"
#include "tagmill/tagmill.h"

using namespace tagmill;

namespace {

// Written first at every commit, ahead of the other objects.
constexpr long kMarkers = 8448;

long ParseObject(CTagmill::CGeob &object, const unsigned char *payload, long size) {
    return object.ParseFrameData(payload, size);
}

} // namespace

long CTagmill::GetGeob(long propertyId, GeobList &objects) {
    if (!m_opened) return E_UNEXPECTED;
    return recordframes::CopyCacheEntry(m_geobs, propertyId, objects);
}

// Only identifiers of objects are taken: any other identifier would reach the
// commit and there give a frame of the wrong kind (a text property's row) or
// stop it half-way (an identifier without a row), so it is refused here. No
// frame is touched; an empty list deletes the object at the commit.
long CTagmill::PutGeob(long propertyId, const GeobList &objects) {
    if (!m_opened) return E_UNEXPECTED;
    if (!mapping::IsObjectId(propertyId)) return E_PROPERTY_UNSUPPORTED;
    long hr = V2EditBegin();
    if (Failed(hr)) return hr;
    return recordframes::ReplaceCacheEntry(m_geobs, propertyId, objects);
}

// The MIME type is not compared: the description alone names the property.
long CTagmill::GetGeobInternal(long propertyId, GeobList &objects, int &index) {
    unsigned int frameId = 0;
    std::wstring description;
    const long hr = describedFrame(propertyId, index, frameId, description);
    if (Failed(hr)) return hr;
    return recordframes::FindByDescription(&m_context, frameId, description, objects, index, ParseObject);
}

// Writes the entry's first record under the row's description and MIME type,
// which replace the record's own (the caller's record changes with them).
long CTagmill::addGeobFrame(std::map<long, GeobList>::const_iterator entry) {
    unsigned int frameId = 0;
    std::wstring description;
    std::string mimeType;
    try {
        long hr = ToFrameId(entry->first, frameId, &description, &mimeType, nullptr);
        if (Failed(hr)) return hr;
        if (entry->second.empty()) return S_OK;
        const std::shared_ptr<CGeob> &object = entry->second.front();
        if (!object) return E_POINTER;
        hr = object->SetDescription(description);
        if (Failed(hr)) return hr;
        hr = object->SetMimeType(mimeType);
        if (Failed(hr)) return hr;
        recordframes::TaskBlock payload;
        long size = 0;
        hr = object->GetFrameData(payload.out(), size);
        if (Failed(hr)) return hr;
        return recordframes::AppendFrame(&m_context, frameId, payload.get(), static_cast<size_t>(size));
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

// The tag's objects are rewritten from the cache as a whole: every stored
// object frame goes, so objects the cache does not hold (descriptions this
// library does not know among them) are dropped. The markers come first, the
// rest in ascending order of identifier.
long CTagmill::updateGeob() {
    if (!m_opened) return E_UNEXPECTED;
    long hr = V2EditBegin();
    if (Failed(hr)) return hr;
    deleteAllFrames(mapping::FrameId("GEO"));
    deleteAllFrames(mapping::FrameId("GEOB"));

    const auto markers = m_geobs.find(kMarkers);
    if (markers != m_geobs.end()) {
        hr = addGeobFrame(markers);
        if (Failed(hr)) return hr;
    }
    for (auto entry = m_geobs.cbegin(); entry != m_geobs.cend(); ++entry) {
        if (entry->first == kMarkers) continue;
        hr = addGeobFrame(entry);
        if (Failed(hr)) return hr;
    }
    return S_OK;
}
