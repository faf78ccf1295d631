// The end of an edit transaction: checking that it can end, building the new
// tag, and choosing how it reaches the content. A tag that keeps its place
// and length is written over the old one through the journal (with the ID3v1
// fields of the same commit); any other goes through a rewrite of the whole
// content, into which the ID3v1 fields are written before it replaces the
// old file. A memory image is rebuilt in memory.
#include <cstring>

#include "engine/edit_internal.h"
#include "engine/internal.h"
#include "engine/read_cache.h"
#include "platform/cache_io.h"

namespace {

const uint32_t kV1Length = 128;
const uint32_t kMaxSpans = 8;
const uint32_t kSpanGap = 64;

// Whether edit begin loaded a tag that the header search no longer finds: a
// read failure during the search, which must not be taken for "no tag" (the
// old tag would end up behind the new one). Frames loaded from a tag, or a
// frame area that did not start right after an empty default header, tell.
// The edit state keeps the loaded frames end until the transaction is over
// (the layout of the new tag is kept apart), so a retry can still tell.
bool tag_was_loaded(const tav_id3_context *context, const tav_id3_v2_header *header) {
    const tav_id3_edit_state *edit = context->edit;
    for (const tav_id3_v2_frame_node *node = edit->frames; node; node = node->next)
        if (!node->entry->payload && node->entry->old_offset != 0) return true;
    return edit->frames_end != (uint32_t)header->position + 10;
}

// With an extended header copy held the flags must announce one, and without
// a copy they must not: the header would otherwise misdescribe the tag.
int32_t check_header_flag(const tav_id3_context *context) {
    const tav_id3_edit_state *edit = context->edit;
    bool flagged = (edit->new_header_flags & 0x40) != 0;
    if (flagged == (edit->ex_header != nullptr)) return TAV_OK;
    tav_log_error("in %s() flag is incorrect about ex_header.", "tav_id3_v2_check_header_flag");
    return TAV_ERR_STATE;
}

// The ID3v1 tag after a commit, as a region of a content of `length` bytes
// whose last 128 bytes (fewer in a short content) are `end`: the old tag's
// place, or just past the end when there was none.
tav_id3_region v1_region(const tav_id3_v1_update *v1, uint32_t length, uint8_t end[kV1Length], int32_t got) {
    int32_t present = got == (int32_t)kV1Length && memcmp(end, "TAG", 3) == 0;
    const uint32_t offset = present ? length - kV1Length : length;
    tav_id3_v1_apply_update(v1, end, &present);
    return tav_id3_region{offset, kV1Length, end};
}

// The tag keeps its place and length, nothing after it moves, and the ID3v1
// tag lies clear of it: only those bytes change.
bool fits_in_place(const tav_id3_context *context, int32_t has_tag, const tav_id3_new_tag &tag, uint32_t length,
                   const tav_id3_v1_update *v1) {
    if (context->content_type != TAV_CONTENT_FILE || context->mode == 0 || !has_tag || context->is_aiff) return false;
    if (tag.copy_start != tag.position + tag.length) return false;
    return !v1 || length < kV1Length || length - kV1Length >= tag.position + tag.length;
}

// The end of the span whose first difference is at `at`: its last
// difference before kSpanGap equal bytes (or before the end).
uint32_t span_end(const uint8_t *old, const uint8_t *fresh, uint32_t at, uint32_t length) {
    uint32_t end = at + 1;
    for (uint32_t i = end; i < length; i += kSpanGap) {
        const uint32_t block = length - i < kSpanGap ? length - i : kSpanGap;
        if (block == kSpanGap && memcmp(old + i, fresh + i, kSpanGap) == 0) break;
        uint32_t last = i + block;
        while (last > i && old[last - 1] == fresh[last - 1]) --last;
        if (last == i) break; // a short last block without a difference
        end = last;
    }
    return end;
}

// The spans of `length` bytes at `offset` where fresh differs from old, as
// regions over fresh: spans closer than kSpanGap bytes are joined, and past
// `room` spans the last runs to the last difference of all. Unchanged bytes
// are never written.
uint32_t changed_spans(const uint8_t *old, const uint8_t *fresh, uint32_t length, uint64_t offset,
                       tav_id3_region *out, uint32_t room) {
    uint32_t count = 0;
    for (uint32_t at = 0; at < length;) {
        // Equal stretches are skipped a block at a time.
        if (length - at >= kSpanGap && memcmp(old + at, fresh + at, kSpanGap) == 0) {
            at += kSpanGap;
            continue;
        }
        if (old[at] == fresh[at]) {
            ++at;
            continue;
        }
        uint32_t end = length;
        if (count + 1 < room)
            end = span_end(old, fresh, at, length);
        else
            while (old[end - 1] == fresh[end - 1]) --end;
        out[count++] = tav_id3_region{offset + at, end - at, fresh + at};
        at = end;
    }
    return count;
}

int32_t commit_in_place(tav_id3_context *context, const tav_id3_new_tag &tag, uint32_t length,
                        const tav_id3_v1_update *v1) {
    tav_id3_region regions[kMaxSpans + 1];
    // The old bytes as the read cache holds them (the edit was made from
    // them), else as the file holds them.
    const uint8_t *old = tav_id3_cache_peek(context, tag.position, tag.length);
    uint8_t *read = nullptr;
    int32_t rc = TAV_OK;
    if (!old) {
        if (!(read = static_cast<uint8_t *>(tav_rud_malloc(tag.length ? tag.length : 1)))) return TAV_ERR_NOMEM;
        if (tav_pread(context->handle, read, tag.length, tag.position) != (int32_t)tag.length) rc = TAV_ERR_READ;
        old = read;
    }
    uint32_t count = rc == TAV_OK ? changed_spans(old, tag.image, tag.length, tag.position, regions, kMaxSpans) : 0;
    tav_rud_free(read);
    uint8_t end[kV1Length], before[kV1Length];
    if (rc == TAV_OK && v1) {
        const uint32_t want = length < kV1Length ? length : kV1Length;
        const uint8_t *cached = tav_id3_cache_peek(context, length - want, want);
        int32_t got = (int32_t)want;
        if (cached)
            memcpy(end, cached, want);
        else if ((got = tav_pread(context->handle, end, want, length - want)) < 0)
            return TAV_ERR_READ;
        memcpy(before, end, want);
        tav_id3_region region = v1_region(v1, length, end, got);
        // A tag written over the old one changes only what differs.
        if (region.offset < length)
            count += changed_spans(before, end, kV1Length, region.offset, regions + count, 1);
        else
            regions[count++] = region;
    }
    if (rc != TAV_OK || count == 0) return rc;
    // The bytes are written beside the read cache's snapshot: drop it first.
    tav_id3_cache_release(context);
    return tav_id3_journal_commit(context, regions, count);
}

// The ID3v1 fields go into the finished temporary file of a rewrite.
int32_t put_v1_into_temp(tav_id3_context *context, const tav_id3_v1_update *v1) {
    const int32_t temp = context->edit->temp_handle;
    tav_file_identity id;
    if (tav_identify_file(temp, &id) != 0) return TAV_ERR_SEEK;
    const uint32_t length = (uint32_t)id.size;
    uint8_t end[kV1Length];
    const uint32_t want = length < kV1Length ? length : kV1Length;
    int32_t got = tav_pread(temp, end, want, length - want);
    if (got < 0) return TAV_ERR_READ;
    tav_id3_region region = v1_region(v1, length, end, got);
    return tav_write_at(temp, region.bytes, region.length, (int64_t)region.offset) == (int32_t)region.length
               ? TAV_OK
               : TAV_ERR_WRITE;
}

int32_t commit_by_rewrite(tav_id3_context *context, const tav_id3_new_tag &tag, const tav_id3_v1_update *v1) {
    int32_t rc = tav_id3_v2_rewrite_file(context, &tag);
    if (rc == TAV_OK && v1 && (rc = put_v1_into_temp(context, v1)) != TAV_OK) tav_id3_v2_discard_temp(context);
    return rc != TAV_OK ? rc : tav_id3_v2_replace_content(context);
}

// A memory image: rebuilt, then the ID3v1 fields written as the field
// writers would.
int32_t commit_memory(tav_id3_context *context, const tav_id3_new_tag &tag, const tav_id3_v1_update *v1) {
    int32_t rc = tav_id3_v2_rebuild_memory(context, &tag);
    if (rc != TAV_OK || !v1) return rc;
    tav_id3_memory_content *memory = context->memory;
    const uint32_t length = memory->data_length, want = length < kV1Length ? length : kV1Length;
    uint8_t end[kV1Length];
    memcpy(end, memory->buffer + length - want, want);
    tav_id3_region region = v1_region(v1, length, end, (int32_t)want);
    if (tav_id3_seek_content(context, (int32_t)region.offset, 0) < 0) return TAV_ERR_SEEK;
    return tav_id3_write_content(context, region.bytes, region.length) == (int32_t)region.length ? TAV_OK
                                                                                                : TAV_ERR_WRITE;
}

int32_t write_new_tag(tav_id3_context *context, int32_t has_tag, const tav_id3_new_tag &tag,
                      const tav_id3_v1_update *v1) {
    if (context->content_type == TAV_CONTENT_MEMORY) return commit_memory(context, tag, v1);
    int64_t length = tav_id3_seek_content(context, 0, 2);
    if (length < 0) return TAV_ERR_SEEK;
    if (fits_in_place(context, has_tag, tag, (uint32_t)length, v1)) {
        int32_t rc = commit_in_place(context, tag, (uint32_t)length, v1);
        if (rc != TAV_JOURNAL_UNAVAILABLE) return rc;
    }
    return commit_by_rewrite(context, tag, v1);
}

int32_t end_edit(tav_id3_context *context, const tav_id3_v1_update *v1) {
    static const char name[] = "tav_id3_v2_edit_end";
    if (!context || !context->edit) {
        tav_log_error("in %s() parameter is invalid.", name);
        return TAV_ERR_PARAM;
    }
    if (context->transaction_state != TAV_TRANSACTION_V2_EDIT) {
        tav_log_error("in %s() transaction is invalid.", name);
        return TAV_ERR_STATE;
    }
    if (context->is_aiff && context->id3_chunk_data_offset == 0) return TAV_ERR_SEEK; // no ID3 chunk to write
    if (v1 && tav_id3_v1_check_update(v1) != TAV_OK) return TAV_ERR_PARAM;
    if (v1 && v1->fields == 0) v1 = nullptr; // nothing to write: no tag to make either
    tav_id3_v2_header header;
    int32_t has_tag = 0;
    int32_t rc = tav_id3_v2_edit_header(context, &header, &has_tag);
    if (rc != TAV_OK) return rc;

    tav_id3_edit_state *edit = context->edit;
    if (!has_tag && tag_was_loaded(context, &header)) return TAV_ERR_READ;
    edit->new_header_flags_ref = &edit->new_header_flags;
    edit->new_header_flags &= (uint8_t)~0x80;
    if ((header.version == TAV_ID3_V23 || header.version == TAV_ID3_V24) && (rc = check_header_flag(context)) != TAV_OK)
        return rc;

    tav_id3_new_tag tag;
    if ((rc = tav_id3_v2_build_tag(context, &header, has_tag, &tag)) != TAV_OK) return rc;
    const int32_t flushes = tav_flushes_enabled();
    tav_set_flushes(flushes && !context->no_sync);
    rc = write_new_tag(context, has_tag, tag, v1);
    tav_set_flushes(flushes);
    tav_id3_v2_free_tag(&tag);
    if (rc != TAV_OK) return rc;
    tav_id3_v2_edit_release(context);
    return TAV_OK;
}

} // namespace

int32_t tav_id3_v2_edit_end_with_v1(tav_id3_context *context, const tav_id3_v1_update *v1) {
    tav_trace("tav_id3_v2_edit_end() enter");
    int32_t rc = end_edit(context, v1);
    if (rc == TAV_OK) tav_trace("tav_id3_v2_edit_end() exit");
    return rc;
}

int32_t tav_id3_v2_edit_end(tav_id3_context *context) { return tav_id3_v2_edit_end_with_v1(context, nullptr); }
