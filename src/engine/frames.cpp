// Reading ID3v2 frames: every frame in tag order, how many frames carry an ID, the header and data of the
// n-th of them, and where its data lies in the content. Each call locates the
// tag and walks it with the shared frame walker, whose answers come from the
// read cache while the content stays as it is (engine/read_cache.h).
#include "engine/internal.h"

namespace {

const char kNotFound[] = "in %s() ID3v2 frame is not found.";
const char kInvalid[] = "in %s() parameter is invalid.";

struct CountVisit {
    uint32_t id;
    uint32_t count;
};

int count_visitor(const tav_id3_v2_frame_header *frame, uint32_t, uint32_t, void *user) {
    CountVisit *v = static_cast<CountVisit *>(user);
    if (frame->id == v->id) ++v->count;
    return 0;
}

// Finds the index-th frame with an ID. The walk stops on the match, leaving
// the content just after its header and extra bytes.
struct FindVisit {
    uint32_t id;
    uint32_t index;
    uint32_t seen;
    bool found;
    tav_id3_v2_frame_header frame;
    uint32_t position;
};

int find_visitor(const tav_id3_v2_frame_header *frame, uint32_t position, uint32_t, void *user) {
    FindVisit *v = static_cast<FindVisit *>(user);
    if (frame->id != v->id) return 0;
    if (v->seen++ != v->index) return 0;
    v->found = true;
    v->frame = *frame;
    v->position = position;
    return 1;
}

uint32_t extra_byte_count(const tav_id3_v2_frame_header *frame) {
    return (frame->compression ? 4u : 0u) + (frame->encryption ? 1u : 0u) + (frame->grouping_identity ? 1u : 0u);
}

// Reads the tag header into *tag and walks the tag for the index-th frame with
// an ID; TAV_OK with found false when the walk ends without it.
int32_t find_frame(tav_id3_context *context, uint32_t id, uint32_t index, tav_id3_v2_header *tag,
                   FindVisit *visit) {
    int32_t rc = tav_id3_v2_get_header(context, tag);
    if (rc != TAV_OK) return rc;
    *visit = FindVisit{id, index, 0, false, {}, 0};
    return tav_id3_v2_walk_frames(context, tag, 0, find_visitor, visit);
}

// A missing argument, logged under the caller's name.
int32_t invalid_parameter(const char *function) {
    tav_log_error(kInvalid, function);
    return TAV_ERR_PARAM;
}

} // namespace

namespace {

// Passes the walk on to the caller's visitor, leaving out what is not a frame:
// padding (ID 0) and a header that no longer fits in the tag (length 0).
struct EnumVisit {
    tav_id3_v2_frame_visitor visitor;
    void *user;
};

int enum_visitor(const tav_id3_v2_frame_header *frame, uint32_t position, uint32_t length, void *user) {
    const EnumVisit *v = static_cast<const EnumVisit *>(user);
    if (frame->id == 0 || length == 0) return 1;
    return v->visitor(frame, position, length, v->user);
}

} // namespace

int32_t tav_id3_v2_enum_frames(tav_id3_context *context, tav_id3_v2_frame_visitor visitor, void *user) {
    tav_trace("tav_id3_v2_enum_frames() enter");
    if (!context || !visitor) return invalid_parameter("tav_id3_v2_enum_frames");
    tav_id3_v2_header header;
    int32_t rc = tav_id3_v2_get_header(context, &header);
    if (rc != TAV_OK) return rc;
    EnumVisit visit{visitor, user};
    rc = tav_id3_v2_walk_frames(context, &header, 0, enum_visitor, &visit);
    if (rc != TAV_OK) return rc;
    tav_trace("tav_id3_v2_enum_frames() exit");
    return TAV_OK;
}

int32_t tav_id3_v2_get_frame_num(tav_id3_context *context, uint32_t id, uint32_t *count) {
    tav_trace("tav_id3_v2_get_frame_num() enter");
    if (!context || !count) return invalid_parameter("tav_id3_v2_get_frame_num");
    *count = 0;
    // A content without a usable tag reads as an empty 2.3 tag: count 0.
    tav_id3_v2_header header;
    int32_t rc = tav_id3_v2_get_header2(context, &header);
    if (rc != TAV_OK) return rc;
    CountVisit visit{id, 0};
    rc = tav_id3_v2_walk_frames(context, &header, 0, count_visitor, &visit);
    if (rc != TAV_OK) return rc;
    *count = visit.count;
    tav_trace("tav_id3_v2_get_frame_num() exit");
    return TAV_OK;
}

int32_t tav_id3_v2_get_frame_header(tav_id3_context *context, uint32_t id, uint32_t index,
                                    tav_id3_v2_frame_header *header) {
    tav_trace("tav_id3_v2_get_frame_header() enter");
    if (!context || !header) return invalid_parameter("tav_id3_v2_get_frame_header");
    tav_id3_v2_header tag;
    FindVisit visit;
    int32_t rc = find_frame(context, id, index, &tag, &visit);
    if (rc != TAV_OK) return rc;
    if (!visit.found) {
        tav_log_error(kNotFound, "tav_id3_v2_get_frame_header");
        return TAV_ERR_NOT_FOUND;
    }
    *header = visit.frame;
    tav_trace("tav_id3_v2_get_frame_header() exit");
    return TAV_OK;
}

// The data is delivered as stored: compressed or encrypted frames are not
// decoded, and a short buffer receives the first bytes of the frame.
int32_t tav_id3_v2_get_frame_data(tav_id3_context *context, uint32_t id, uint32_t index, uint32_t *size,
                                  uint8_t *buffer) {
    tav_trace("tav_id3_v2_get_frame_data() enter");
    if (!context || !size || !buffer) return invalid_parameter("tav_id3_v2_get_frame_data");
    tav_id3_v2_header tag;
    int32_t rc = tav_id3_v2_get_header(context, &tag);
    if (rc != TAV_OK) return rc;
    tav_id3_v2_frame_header frame;
    rc = tav_id3_v2_get_frame_header(context, id, index, &frame);
    if (rc != TAV_OK) {
        if (rc == TAV_ERR_NOT_FOUND) tav_log_error(kNotFound, "tav_id3_v2_get_frame_data");
        return rc;
    }
    uint32_t n = *size < frame.size ? *size : frame.size;
    if (tav_id3_v2_read_unsync(context, buffer, n, tag.unsynchronisation == 1, nullptr) != 0) return TAV_ERR_READ;
    *size = n;
    tav_trace("tav_id3_v2_get_frame_data() exit");
    return TAV_OK;
}

// The offset is that of the byte after the frame header: for a frame with
// extra bytes (decompressed length, encryption method, group ID) it designates
// them, and the size leaves them out. In an unsynchronised tag, frame positions
// are logical (counted without the inserted zero bytes); the offset reported is
// still the true position in the content, i.e. the logical position after the
// header mapped back to the stored bytes, while the size stays the record's
// (de-unsynchronised) size. An offset of 0 means that no frame matched.
int32_t tav_id3_v2_get_frame_data_offset(tav_id3_context *context, uint32_t id, uint32_t index, uint32_t *offset,
                                         uint32_t *size) {
    if (offset) *offset = 0;
    if (size) *size = 0;
    tav_trace("tav_id3_v2_get_frame_data_offset() enter");
    if (!context || !offset || !size) return invalid_parameter("tav_id3_v2_get_frame_data_offset");
    tav_id3_v2_header tag;
    FindVisit visit;
    int32_t rc = find_frame(context, id, index, &tag, &visit);
    if (rc != TAV_OK) return rc;
    if (visit.found) {
        if (tag.unsynchronisation == 1) {
            // The walk left the content just past the header and the extra
            // bytes, which are stored as they are.
            int64_t here = tav_id3_seek_content(context, 0, 1);
            if (here < 0) return TAV_ERR_SEEK;
            *offset = (uint32_t)here - extra_byte_count(&visit.frame);
        } else {
            *offset = visit.position + (tag.version == TAV_ID3_V22 ? 6u : 10u);
        }
        *size = visit.frame.size;
    }
    tav_trace("tav_id3_v2_get_frame_data_offset() exit");
    return TAV_OK;
}
