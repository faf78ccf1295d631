// Raw access to the content as last committed: a copy of the whole ID3v2 tag,
// and the place of one property's frame data in the content. Neither sees
// changes that have not been committed yet.
#include "tag_access/mapping.h"
#include "tagmill/tagmill.h"

using namespace tagmill;

namespace {

// Properties that share a frame ID with others and are singled out by the
// description in their payload. The other objects (4644, 8451) are located by
// their first frame, like every plain property.
bool LocatedAsObject(long id) { return id == 5894 || id == 5895 || id == 8448; }
bool LocatedAsUserString(long id) { return id == 4717 || id == 9233; }

} // namespace

// A null buffer asks for the size only. Otherwise *buffer must hold at least
// that many bytes from malloc: when the copy fails the buffer is released with
// free and *buffer comes back null. On success the caller owns the copy.
long CTagmill::GetId3TagFrame(unsigned char **buffer, unsigned long *size) {
    if (!m_opened) return E_UNEXPECTED;
    if (!size) return E_POINTER;
    *size = 0;
    uint32_t length = 0;
    const int32_t rc = tav_id3_get_id3tag(&m_context, buffer, &length);
    *size = length; // also when the copy fails: the size that was asked for
    switch (rc) {
    case TAV_OK:
        return S_OK;
    case TAV_ERR_NOMEM:
        return E_OUTOFMEMORY;
    case TAV_ERR_NOT_FOUND:
        return S_FALSE;
    default:
        return E_FAIL;
    }
}

// The offset is that of the frame's first data byte in the content, the size
// the frame's data size. A property that the tag lacks reports 0 and 0; an
// object or user-defined string that is missing reports S_FALSE.
long CTagmill::GetFrameOffset(long propertyId, long &offset, long &size) {
    if (!m_opened) return E_UNEXPECTED;
    offset = 0;
    size = 0;
    unsigned int frameId = 0;
    long hr = ToFrameId(propertyId, frameId, nullptr, nullptr, nullptr);
    if (Failed(hr)) return hr;

    int index = 0;
    if (LocatedAsObject(propertyId)) {
        GeobList objects;
        if (GetGeobInternal(propertyId, objects, index) != S_OK) return S_FALSE;
    } else if (LocatedAsUserString(propertyId)) {
        UserStringList strings;
        if (GetUserDefinedStringInternal(propertyId, strings, index) != S_OK) return S_FALSE;
    }

    uint32_t dataOffset = 0;
    uint32_t dataSize = 0;
    if (tav_id3_v2_get_frame_data_offset(&m_context, frameId, static_cast<uint32_t>(index), &dataOffset,
                                         &dataSize) != TAV_OK)
        return E_FAIL;
    // Both are 32-bit numbers to the host: a size above 2^31 reads as negative.
    offset = static_cast<long>(static_cast<int32_t>(dataOffset));
    size = static_cast<long>(static_cast<int32_t>(dataSize));
    return S_OK;
}
