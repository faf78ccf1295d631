// Engine-internal helpers shared between the engine's files: header-byte
// parsing, unsynchronised positioning and reading, the first frame position,
// the frame walk, and the AIFF chunk helpers. Not installed.
#ifndef TAGMILL_ENGINE_INTERNAL_H
#define TAGMILL_ENGINE_INTERNAL_H

#include <cstdint>

#include "engine/bytes.h"
#include "engine/log.h"
#include "tagmill/engine.h"

// header.cpp: version code of header bytes 3 and 4, and the header record
// filled from 10 header bytes found at position.
int32_t tav_id3_v2_version_code(uint8_t major, uint8_t revision);
void tav_id3_v2_fill_header(const uint8_t bytes[10], int32_t position, tav_id3_v2_header *header);

// unsync.cpp: positioning at a logical (de-unsynchronised) offset counted from
// the start of the content, and reads that drop the 0x00 after each 0xFF.
// With unsync 0 both are plain. Return 0 on success, -1 on failure.
int32_t tav_id3_v2_seek_logical(tav_id3_context *context, uint32_t logical_offset, int32_t unsync);
// The same count resumed from a point that an earlier unsynchronised
// positioning reached (from_logical at content offset from_raw), so that a walk
// over increasing offsets reads the content once instead of once per frame.
int32_t tav_id3_v2_seek_logical_from(tav_id3_context *context, uint32_t from_logical, uint32_t from_raw,
                                     uint32_t logical_offset);
// Delivers exactly n bytes into out; *consumed (may be null) receives the
// number of content bytes consumed (>= n).
int32_t tav_id3_v2_read_unsync(tav_id3_context *context, uint8_t *out, uint32_t n, int32_t unsync,
                               uint32_t *consumed);

// frame_walk.cpp: the first frame position of a tag (engine code), and the one
// frame walker that the frame functions share.
int32_t tav_id3_v2_first_frame_position(tav_id3_context *context, const tav_id3_v2_header *header,
                                        uint32_t *position);
// The visitor type is public (tagmill/engine.h): tav_id3_v2_enum_frames offers
// the same walk to callers.
// plain_seek: position each frame by a plain seek even in an unsynchronised tag.
int32_t tav_id3_v2_walk_frames(tav_id3_context *context, const tav_id3_v2_header *header, int32_t plain_seek,
                               tav_id3_v2_frame_visitor visitor, void *user);

// aiff.cpp: AIFF form test, "ID3 " chunk search, chunk append and size fix-up.
int32_t tav_id3_aiff_is_form(tav_id3_context *context, int32_t *is_aiff);
int32_t tav_id3_aiff_find_chunk(tav_id3_context *context);
int32_t tav_id3_aiff_append_chunk(tav_id3_context *context);
int32_t tav_id3_aiff_fix_sizes(tav_id3_context *context);

// id3v1.cpp: the ID3v1 part of a commit. The check refuses a year that does
// not print as four characters. The update applies to tag, the content's last
// 128 bytes, as the field writers would one after the other: *present tells
// whether they form a tag (else a new one is made there, to be appended).
int32_t tav_id3_v1_check_update(const tav_id3_v1_update *v1);
void tav_id3_v1_apply_update(const tav_id3_v1_update *v1, uint8_t tag[128], int32_t *present);

// context.cpp: writes an empty tag described by header at the tag position.
int32_t tav_id3_write_empty_tag(tav_id3_context *context, const tav_id3_v2_header *header);

#endif
