// Appending a frame built from a record's payload to the edit transaction, and
// the lookup that starts a search for the frame carrying a description.
#include "tag_access/record_frames.h"

#include "tagmill/tagmill.h"

using namespace tagmill;

namespace tagmill {
namespace recordframes {

long AppendFrame(tav_id3_context *context, uint32_t frameId, const unsigned char *payload, size_t size) {
    tav_id3_v2_frame_header header{};
    header.id = frameId;
    header.size = static_cast<uint32_t>(size);
    return tav_id3_v2_add_frame(context, &header, payload) == TAV_OK ? S_OK : E_FAIL;
}

} // namespace recordframes
} // namespace tagmill

// Objects and user-defined strings share one frame ID among several
// properties: the row's description singles out the frame of each. Nothing is
// found yet (index -1) once the object is known to be open.
long CTagmill::describedFrame(long propertyId, int &index, unsigned int &frameId, std::wstring &description) const {
    if (!m_opened) return E_UNEXPECTED;
    index = -1;
    try {
        return ToFrameId(propertyId, frameId, &description, nullptr, nullptr);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}
