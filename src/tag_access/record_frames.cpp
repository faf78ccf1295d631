// Appending a frame built from a record's payload to the edit transaction.
#include "tag_access/record_frames.h"

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
