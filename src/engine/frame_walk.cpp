// The frame walk of an ID3v2 tag: where the first frame begins (after an
// optional extended header), how one frame header is read in each of the three
// layouts, and the single walker that every frame reader is built on.
#include <cstring>

#include "engine/internal.h"
#include "engine/read_cache.h"

namespace {

const uint32_t kHeaderLength22 = 6;  // 3-byte ID, 3-byte size
const uint32_t kHeaderLength = 10;   // 4-byte ID, 4-byte size, 2 flag bytes
const uint32_t kExtendedHeaderRead = 14;

// Extra bytes are taken off the 32-bit data size, which wraps round for a
// frame too short to hold the extra bytes it announces (no read trusts it
// beyond the bytes the content holds).
void take_extra(tav_id3_v2_frame_header *frame, uint32_t length) { frame->size -= length; }

// The extra bytes after a 2.3/2.4 frame header, in flag order. They are read
// as stored, without de-unsynchronisation.
int32_t read_extras(tav_id3_context *context, tav_id3_v2_frame_header *frame) {
    uint8_t b[4];
    if (frame->compression) {
        if (tav_id3_read_content(context, b, 4) != 4) return TAV_ERR_READ;
        frame->data_length = tav_be32(b);
        take_extra(frame, 4);
    }
    if (frame->encryption) {
        if (tav_id3_read_content(context, b, 1) != 1) return TAV_ERR_READ;
        frame->encryption_method = b[0];
        take_extra(frame, 1);
    }
    if (frame->grouping_identity) {
        if (tav_id3_read_content(context, b, 1) != 1) return TAV_ERR_READ;
        frame->group_id = b[0];
        take_extra(frame, 1);
    }
    return TAV_OK;
}

// 2.3 and 2.4 share the flag layout of 2.3; only the size coding differs.
int32_t read_header_v23(tav_id3_context *context, int32_t version, int32_t unsync, uint64_t remaining,
                        tav_id3_v2_frame_header *frame, uint64_t *length) {
    if (remaining < kHeaderLength) return TAV_OK;
    uint8_t b[kHeaderLength];
    if (tav_id3_v2_read_unsync(context, b, kHeaderLength, unsync, nullptr) != 0) return TAV_ERR_READ;
    frame->id = tav_be32(b);
    frame->size = version == TAV_ID3_V23 ? tav_be32(b + 4) : tav_syncsafe_decode(b + 4);
    *length = (uint32_t)(kHeaderLength + frame->size); // 32 bits: a size within 10 of 2^32 wraps it
    frame->tag_alter_preservation = (b[8] & 0x80) ? 1 : 0;
    frame->file_alter_preservation = (b[8] & 0x40) ? 1 : 0;
    frame->read_only = (b[8] & 0x20) ? 1 : 0;
    frame->compression = (b[9] & 0x80) ? 1 : 0;
    frame->encryption = (b[9] & 0x40) ? 1 : 0;
    frame->grouping_identity = (b[9] & 0x20) ? 1 : 0;
    return read_extras(context, frame);
}

// 2.2: a three-character ID (kept with a zero low byte) and a 24-bit size.
int32_t read_header_v22(tav_id3_context *context, int32_t unsync, uint64_t remaining,
                        tav_id3_v2_frame_header *frame, uint64_t *length) {
    if (remaining < kHeaderLength22) return TAV_OK;
    uint8_t b[kHeaderLength22];
    if (tav_id3_v2_read_unsync(context, b, kHeaderLength22, unsync, nullptr) != 0) return TAV_ERR_READ;
    frame->id = tav_be24(b) << 8;
    frame->size = tav_be24(b + 3);
    *length = (uint64_t)kHeaderLength22 + frame->size;
    return TAV_OK;
}

// Reads the frame header at the current position. A header that does not fit
// in the bytes left in the frame area, or a tag of unknown version, gives a
// cleared record and length 0, which ends the walk.
int32_t read_frame_header(tav_id3_context *context, const tav_id3_v2_header *header, uint64_t remaining,
                          tav_id3_v2_frame_header *frame, uint64_t *length) {
    std::memset(frame, 0, sizeof *frame);
    *length = 0;
    int32_t unsync = header->unsynchronisation == 1;
    switch (header->version) {
    case TAV_ID3_V22:
        return read_header_v22(context, unsync, remaining, frame, length);
    case TAV_ID3_V23:
    case TAV_ID3_V24:
        return read_header_v23(context, header->version, unsync, remaining, frame, length);
    default:
        return TAV_OK;
    }
}

// Offset just past the frame area: the header's 10 bytes plus the tag size.
uint64_t frame_area_end(const tav_id3_v2_header *header) {
    int64_t end = (int64_t)header->position + kHeaderLength + (int64_t)header->size;
    return end > 0 ? (uint64_t)end : 0;
}

} // namespace

// The extended header's leading size is a plain 32-bit number that leaves out
// its own four bytes, whatever the tag version; it is never read as syncsafe.
int32_t tav_id3_v2_first_frame_position(tav_id3_context *context, const tav_id3_v2_header *header,
                                        uint32_t *position) {
    // Offsets are 32 bits wide: a size field within 14 of 2^32 wraps round.
    uint32_t first = (uint32_t)header->position + kHeaderLength;
    if (header->extended_header == 1) {
        if (tav_id3_v2_seek_logical(context, first, 0) != 0) return TAV_ERR_SEEK;
        uint8_t ext[kExtendedHeaderRead];
        if (tav_id3_v2_read_unsync(context, ext, kExtendedHeaderRead, header->unsynchronisation == 1, nullptr) != 0)
            return TAV_ERR_READ;
        first += tav_be32(ext) + 4;
    }
    *position = first;
    return TAV_OK;
}

namespace {

// Walks the frames from the first one, offering each to the visitor. Positions
// are logical (de-unsynchronised) offsets from the start of the content. The
// walk ends at the end of the frame area, after a frame whose size runs past
// it, at padding (ID 0) and at a header that does not fit (length 0). Frame
// lengths are 32 bits like the size fields, but positions are kept in 64 bits,
// so a hostile size can never carry the walk round to a frame it has passed
// (with 32-bit positions it would walk the same frames for ever).
//
// The end of the frame area is a stored offset (the tag size counts inserted
// zeros), while p counts de-unsynchronised bytes: in an unsynchronised tag the
// two are compared as they stand, so a tag without enough padding to absorb
// its inserted zeros is walked past its end into whatever follows it, where
// the next header read decides (a frame of another ID, padding, or a short
// read). The frame-list loader of an edit compares stored offsets instead.
//
// *moves (may be null) tells whether the walk touched the content position:
// it does unless there is neither an extended header to read nor a frame area
// to enter.
int32_t walk_content(tav_id3_context *context, const tav_id3_v2_header *header, int32_t plain_seek,
                     tav_id3_v2_frame_visitor visitor, void *user, int32_t *moves) {
    uint32_t first = 0;
    const uint64_t end = frame_area_end(header);
    if (moves) *moves = header->extended_header == 1;
    int32_t rc = tav_id3_v2_first_frame_position(context, header, &first);
    if (rc != TAV_OK) return rc;
    if (moves && first < end) *moves = 1;
    const int32_t seek_unsync = header->unsynchronisation == 1 && !plain_seek;

    // In an unsynchronised tag each positioning resumes the count where the
    // previous one ended, rather than starting again from the first byte.
    uint32_t mark_logical = 0, mark_raw = 0;
    for (uint64_t p = first; p < end;) {
        if (!seek_unsync) {
            if (tav_id3_v2_seek_logical(context, (uint32_t)p, 0) != 0) return TAV_ERR_SEEK;
        } else {
            if (tav_id3_v2_seek_logical_from(context, mark_logical, mark_raw, (uint32_t)p) != 0) return TAV_ERR_SEEK;
            int64_t here = tav_id3_seek_content(context, 0, 1);
            if (here < 0) return TAV_ERR_SEEK;
            mark_logical = (uint32_t)p;
            mark_raw = (uint32_t)here;
        }
        tav_id3_v2_frame_header frame;
        uint64_t length = 0;
        rc = read_frame_header(context, header, end - p, &frame, &length);
        if (rc != TAV_OK) return rc;
        if (visitor(&frame, (uint32_t)p, (uint32_t)length, user)) break;
        if (length == 0 || frame.id == 0) break;
        p += length;
    }
    return TAV_OK;
}

// Records every frame the walk visits, with the content position after its
// header, never stopping the walk.
int record_frame(const tav_id3_v2_frame_header *frame, uint32_t position, uint32_t length, void *user) {
    tav_id3_context *context = static_cast<tav_id3_context *>(user);
    tav_id3_read_cache *cache = context->cache;
    if (cache->index_known < 0) return 0;
    if (cache->frame_count == cache->frame_capacity) {
        uint32_t capacity = cache->frame_capacity ? cache->frame_capacity * 2 : 32;
        void *grown = cache->frames ? tav_realloc(cache->frames, capacity * sizeof *cache->frames)
                                    : tav_rud_malloc(capacity * sizeof *cache->frames);
        if (!grown) {
            cache->index_known = -1;
            return 0;
        }
        cache->frames = static_cast<tav_id3_cached_frame *>(grown);
        cache->frame_capacity = capacity;
    }
    cache->frames[cache->frame_count++] = {*frame, position, length, tav_id3_cache_tell(context)};
    return 0;
}

// The frame index of the cached header: the walk run once to its end. False
// when it could not be kept (no memory, or the content changed meanwhile).
bool build_index(tav_id3_context *context, tav_id3_read_cache *cache) {
    if (cache->index_known) return cache->index_known > 0;
    uint32_t generation = cache->generation;
    cache->frame_count = 0;
    int32_t moves = 0;
    int32_t rc = walk_content(context, &cache->header, 0, record_frame, context, &moves);
    if (cache->generation != generation || !cache->parsed) return false;
    if (cache->index_known < 0) return false;
    cache->walk_result = rc;
    cache->walk_moves = moves;
    cache->walk_end = tav_id3_cache_tell(context);
    cache->index_known = 1;
    return true;
}

// Offers the recorded frames as the walk would, leaving the content where the
// walk would have left it: after the header of the frame the visitor stopped
// at, or where the walk ended.
int32_t replay_index(tav_id3_context *context, const tav_id3_read_cache *cache, tav_id3_v2_frame_visitor visitor,
                     void *user) {
    for (uint32_t i = 0; i < cache->frame_count; ++i) {
        const tav_id3_cached_frame &f = cache->frames[i];
        if (visitor(&f.frame, f.position, f.length, user)) {
            tav_id3_cache_move(context, f.after);
            return TAV_OK;
        }
    }
    if (cache->walk_moves) tav_id3_cache_move(context, cache->walk_end);
    return cache->walk_result;
}

bool same_header(const tav_id3_v2_header *a, const tav_id3_v2_header *b) {
    return a->version == b->version && a->position == b->position && a->size == b->size &&
           a->unsynchronisation == b->unsynchronisation && a->compression == b->compression &&
           a->extended_header == b->extended_header && a->experimental == b->experimental && a->footer == b->footer;
}

} // namespace

// The walk over the tag that the content's header search found is the same on
// every call while the content stays as it is: it is run once, recorded, and
// replayed from then on. Any other header is walked on the content.
int32_t tav_id3_v2_walk_frames(tav_id3_context *context, const tav_id3_v2_header *header, int32_t plain_seek,
                               tav_id3_v2_frame_visitor visitor, void *user) {
    if (!plain_seek) {
        tav_id3_read_cache *cache = tav_id3_cache_parsed(context);
        if (cache && cache->header_known && cache->header_result == TAV_OK && same_header(header, &cache->header) &&
            build_index(context, cache))
            return replay_index(context, cache, visitor, user);
    }
    return walk_content(context, header, plain_seek, visitor, user, nullptr);
}
