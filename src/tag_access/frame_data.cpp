// Frame data reads bounded by the content's length.
#include "tag_access/frame_data.h"

#include <new>

#include "tagmill/result.h"

namespace tagmill {
namespace framedata {

namespace {
constexpr int32_t kSeekEnd = 2;
} // namespace

long Read(tav_id3_context *context, uint32_t frameId, uint32_t index, tav_id3_v2_frame_header &header,
          std::vector<unsigned char> &payload, uint32_t &size) {
    tav_id3_v2_frame_header frame{};
    if (tav_id3_v2_get_frame_header(context, frameId, index, &frame) != TAV_OK) return E_FAIL;
    // Every read positions itself afresh, so asking for the length here
    // disturbs nothing.
    const int64_t contentLength = tav_id3_seek_content(context, 0, kSeekEnd);
    if (contentLength < 0 || static_cast<uint64_t>(frame.size) > static_cast<uint64_t>(contentLength))
        return E_FAIL;
    try {
        std::vector<unsigned char> data(frame.size > 0 ? frame.size : 1);
        uint32_t delivered = frame.size;
        if (tav_id3_v2_get_frame_data(context, frameId, index, &delivered, data.data()) != TAV_OK) return E_FAIL;
        data.resize(delivered > 0 ? delivered : 1);
        payload.swap(data);
        size = delivered;
        header = frame;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

} // namespace framedata
} // namespace tagmill
