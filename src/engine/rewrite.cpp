// The end of an edit transaction: the new tag's layout and padding, and the
// rewrite of the whole content into a temporary file (bytes before the tag,
// the new tag, the bytes after the old tag, AIFF sizes). The content itself
// is only read here; replace.cpp puts the finished file in its place.
#include <cstring>
#include <cwchar>

#include "engine/edit_internal.h"
#include "engine/frame_list.h"
#include "engine/internal.h"

namespace {

// Streaming copies move this much at a time. Memory use stays bounded by it
// (plus the appended payloads): frames and audio are never held whole.
const uint32_t kCopyBuffer = 64 * 1024;
const uint32_t kZeroPiece = 256;
// Every offset of the new content must be reachable by a 32-bit signed seek.
const uint64_t kMaxOffset = 0x7FFFFFFF;
const uint32_t kMaxSyncsafe = 0x0FFFFFFF;

// Where the new tag goes and how long it is.
struct layout {
    uint32_t position;  // the tag's offset in the content
    uint32_t old_length; // old header size + 10, cut to the bytes the content holds
    uint32_t used;      // header, extended header and frames
    uint32_t padding;
    uint32_t new_size;  // written into the header (and footer)
    uint32_t frames_end; // just past the last frame of the new tag
};

struct rewrite_job {
    tav_id3_context *context;
    const tav_id3_v2_header *header;
    int32_t has_tag;
    layout plan;
    uint8_t *buffer; // kCopyBuffer bytes
};

// Seeks the temporary file (or the content when none is open). A temporary
// file shorter than the requested offset is extended with zero bytes, so
// that a write there leaves no hole of undefined bytes.
int64_t temp_seek(tav_id3_context *context, int32_t offset, int32_t origin) {
    int32_t handle = context->edit->temp_handle;
    if (handle == -1) return tav_id3_seek_content(context, offset, origin);
    int64_t reached = tav_lseek(handle, offset, origin);
    if (reached < 0) return -1;
    static const uint8_t zeros[kZeroPiece] = {};
    for (int64_t at = reached; at < offset;) {
        uint32_t n = (uint32_t)((offset - at) < kZeroPiece ? (offset - at) : kZeroPiece);
        if (tav_write(handle, zeros, n) != (int32_t)n) return -1;
        at += n;
    }
    return reached;
}

int32_t temp_write(tav_id3_context *context, const void *bytes, uint32_t count) {
    int32_t handle = context->edit->temp_handle;
    if (handle == -1) return tav_id3_write_content(context, bytes, count);
    return tav_write(handle, bytes, count);
}

int32_t temp_seek_to(tav_id3_context *context, uint32_t offset) {
    return temp_seek(context, (int32_t)offset, 0) < 0 ? TAV_ERR_SEEK : TAV_OK;
}

int32_t temp_put(tav_id3_context *context, const void *bytes, uint32_t count) {
    return temp_write(context, bytes, count) == (int32_t)count ? TAV_OK : TAV_ERR_WRITE;
}

int32_t temp_put_at(tav_id3_context *context, uint32_t offset, const void *bytes, uint32_t count) {
    int32_t rc = temp_seek_to(context, offset);
    return rc != TAV_OK ? rc : temp_put(context, bytes, count);
}

int32_t content_seek_to(tav_id3_context *context, uint32_t offset) {
    return tav_id3_seek_content(context, (int32_t)offset, 0) < 0 ? TAV_ERR_SEEK : TAV_OK;
}

// Reads exactly count bytes from the content (several reads if need be).
int32_t content_get(tav_id3_context *context, uint8_t *bytes, uint32_t count) {
    for (uint32_t done = 0; done < count;) {
        int32_t n = tav_id3_read_content(context, bytes + done, count - done);
        if (n <= 0) return TAV_ERR_READ;
        done += (uint32_t)n;
    }
    return TAV_OK;
}

// Copies count bytes from the content's current position to the temporary
// file's. The content must hold them: a read that fails or ends early is a
// read failure (2), never a silently shorter file.
int32_t copy_exact(rewrite_job *job, uint32_t count) {
    for (uint32_t done = 0; done < count;) {
        uint32_t want = count - done < kCopyBuffer ? count - done : kCopyBuffer;
        int32_t n = tav_id3_read_content(job->context, job->buffer, want);
        if (n <= 0) return TAV_ERR_READ;
        int32_t rc = temp_put(job->context, job->buffer, (uint32_t)n);
        if (rc != TAV_OK) return rc;
        done += (uint32_t)n;
    }
    return TAV_OK;
}

// Copies from the content's current position to its end.
int32_t copy_to_end(rewrite_job *job) {
    for (;;) {
        int32_t n = tav_id3_read_content(job->context, job->buffer, kCopyBuffer);
        if (n < 0) return TAV_ERR_READ;
        if (n == 0) return TAV_OK;
        int32_t rc = temp_put(job->context, job->buffer, (uint32_t)n);
        if (rc != TAV_OK) return rc;
    }
}

// The padding policy. A footer leaves no room for padding; in an AIFF file
// one byte at most keeps the ID3 chunk even; otherwise the new tag keeps the
// old tag's length when the frames fit into it (so the audio does not move),
// and else grows to the multiple of 16 below its used length plus 1 KiB.
uint32_t padding_for(const tav_id3_context *context, const tav_id3_v2_header *header, uint32_t used,
                     uint32_t old_length) {
    if (header->footer) return 0;
    if (context->is_aiff) return used % 2;
    if (used < old_length) return old_length - used;
    return 1024 - used % 16;
}

// The extended header's size field does not count its own four bytes.
uint64_t ex_header_length(const uint8_t *ex_header) { return (uint64_t)tav_be32(ex_header) + 4; }

// Gives every entry its offset in the new tag and sizes the tag. Fails with
// TAV_ERR_OTHER when the new tag or content could not be addressed.
int32_t lay_out(tav_id3_context *context, const tav_id3_v2_header *header, layout *plan) {
    tav_id3_edit_state *edit = context->edit;
    plan->position = (uint32_t)header->position;
    // A tag that claims more bytes than the content holds has only the bytes
    // that are there: its size field alone must not turn into hundreds of
    // megabytes of padding in the new tag.
    int64_t content_length = tav_id3_seek_content(context, 0, 2);
    if (content_length < 0) return TAV_ERR_SEEK;
    uint64_t held = (uint64_t)content_length > plan->position ? (uint64_t)content_length - plan->position : 0;
    uint64_t claimed = (uint64_t)(uint32_t)header->size + 10;
    plan->old_length = (uint32_t)(claimed < held ? claimed : held);
    uint64_t offset = (uint64_t)plan->position + 10;
    // Likewise the extended header's own size field: one that claims more
    // than the old tag held is cut to what it held, so that the frames do not
    // move up by its claim (only its first 14 bytes are kept anyway).
    if (edit->ex_header) {
        uint64_t room = plan->old_length > 24 ? plan->old_length - 10 : 14;
        if (ex_header_length(edit->ex_header) > room) tav_put_be32(edit->ex_header, (uint32_t)(room - 4));
        offset += ex_header_length(edit->ex_header);
    }
    // A loaded frame that runs past the end of the content cannot be copied
    // whole: the rewrite fails with a short read when it gets there. Nothing
    // after it is written, so the offsets beyond it need not be addressable.
    bool copy_fails = false;
    for (tav_id3_v2_frame_node *node = tav_frame_list_first(edit->frames); node && !copy_fails; node = node->next) {
        if (offset > kMaxOffset) return TAV_ERR_OTHER;
        tav_id3_v2_frame_entry *entry = node->entry;
        entry->new_offset = (uint32_t)offset;
        offset += entry->total_size;
        copy_fails = !entry->payload && entry->old_offset != 0 &&
                     (uint64_t)entry->old_offset + entry->total_size > (uint64_t)content_length;
    }
    if (copy_fails) offset = (uint64_t)plan->position + 10; // a size that no one will see
    uint64_t used = offset - plan->position;
    if (offset > kMaxOffset || used > kMaxSyncsafe) return TAV_ERR_OTHER;
    plan->used = (uint32_t)used;
    plan->padding = padding_for(context, header, plan->used, plan->old_length);
    uint64_t new_size = used + plan->padding - 10;
    if (new_size > kMaxSyncsafe || offset + plan->padding + 10 > kMaxOffset) return TAV_ERR_OTHER;
    plan->new_size = (uint32_t)new_size;
    plan->frames_end = (uint32_t)offset;
    return TAV_OK;
}

// The temporary file lives in the temporary directory under a unique "id3"
// name that the platform creates. The name buffer must also be able to hold
// the content's path, so a content whose path does not fit is refused.
int32_t create_temp(tav_id3_context *context) {
    tav_id3_edit_state *edit = context->edit;
    if (context->path && wcslen(context->path) >= TAV_PATH_MAX) return TAV_ERR_OTHER;
    wchar_t directory[TAV_PATH_MAX + 1];
    if (tav_get_temp_path(TAV_PATH_MAX + 1, directory) == 0) return TAV_ERR_OTHER;
    edit->temp_name[0] = L'\0';
    if (tav_get_temp_file_name(directory, edit->temp_name) == 0) {
        edit->temp_name[0] = L'\0';
        return TAV_ERR_OTHER;
    }
    edit->temp_name[TAV_PATH_MAX - 1] = L'\0';
    int32_t handle = -1;
    if (tav_open(edit->temp_name, TAV_O_RDWR | TAV_O_CREAT | TAV_O_TRUNC, &handle) != 0) {
        tav_id3_v2_discard_temp(context);
        return TAV_ERR_OTHER;
    }
    edit->temp_handle = handle;
    return TAV_OK;
}

// The bytes before the tag: an AIFF file's chunks up to the ID3 chunk's
// data, or whatever precedes a tag found further into the content.
int32_t write_leading_bytes(rewrite_job *job) {
    if (job->plan.position == 0) return TAV_OK;
    int32_t rc = content_seek_to(job->context, 0);
    return rc != TAV_OK ? rc : copy_exact(job, job->plan.position);
}

// The old header is copied so that its version and revision stay; a new tag
// starts as ID3v2.3. Then the flags byte (never unsynchronised: loaded frames
// are copied de-unsynchronised, appended ones are plain) and the new size.
int32_t write_tag_header(rewrite_job *job) {
    tav_id3_context *context = job->context;
    const uint32_t position = job->plan.position;
    uint8_t bytes[10] = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
    int32_t rc;
    if (job->has_tag) {
        if ((rc = content_seek_to(context, position)) != TAV_OK) return rc;
        if ((rc = temp_seek_to(context, position)) != TAV_OK) return rc;
        if ((rc = content_get(context, bytes, 10)) != TAV_OK) return rc;
    }
    if ((rc = temp_put(context, bytes, 10)) != TAV_OK) return rc;
    if ((rc = temp_put_at(context, position + 5, context->edit->new_header_flags_ref, 1)) != TAV_OK) return rc;
    uint8_t size[4];
    tav_syncsafe_encode(size, job->plan.new_size);
    return temp_put_at(context, position + 6, size, 4);
}

// The extended header copy, with the new padding size in its padding field.
// Only the 14 bytes that were kept can be written; any rest of a longer
// extended header becomes zero bytes when the first frame is placed.
int32_t write_ex_header(rewrite_job *job) {
    uint8_t *ex_header = job->context->edit->ex_header;
    if (!ex_header) return TAV_OK;
    tav_put_be32(ex_header + 6, job->plan.padding);
    uint64_t length = ex_header_length(ex_header);
    if (length > 14) length = 14;
    return temp_put_at(job->context, job->plan.position + 10, ex_header, (uint32_t)length);
}

// A loaded frame is copied from its old place as the frame reader sees it,
// through unsynchronisation removal when the old tag was unsynchronised.
int32_t copy_loaded_frame(rewrite_job *job, const tav_id3_v2_frame_entry *entry) {
    tav_id3_context *context = job->context;
    const int32_t unsync = job->header->unsynchronisation;
    if (tav_id3_v2_seek_logical(context, entry->old_offset, unsync) != 0) return TAV_ERR_SEEK;
    int32_t rc = temp_seek_to(context, entry->new_offset);
    if (rc != TAV_OK) return rc;
    for (uint32_t done = 0; done < entry->total_size;) {
        uint32_t n = entry->total_size - done < kCopyBuffer ? entry->total_size - done : kCopyBuffer;
        if (tav_id3_v2_read_unsync(context, job->buffer, n, unsync, nullptr) != 0) return TAV_ERR_READ;
        if ((rc = temp_put(context, job->buffer, n)) != TAV_OK) return rc;
        done += n;
    }
    return TAV_OK;
}

int32_t write_appended_frame(rewrite_job *job, const tav_id3_v2_frame_entry *entry) {
    tav_id3_context *context = job->context;
    const bool v22 = context->edit->version == TAV_ID3_V22;
    int32_t rc = temp_put_at(context, entry->new_offset, entry->raw_header, v22 ? 6 : 10);
    if (rc != TAV_OK) return rc;
    if (!v22 && entry->extra_count && (rc = temp_put(context, entry->extra, entry->extra_count)) != TAV_OK)
        return rc;
    if (entry->payload && entry->payload_size) return temp_put(context, entry->payload, entry->payload_size);
    return TAV_OK;
}

int32_t write_frames(rewrite_job *job) {
    for (tav_id3_v2_frame_node *node = tav_frame_list_first(job->context->edit->frames); node; node = node->next) {
        const tav_id3_v2_frame_entry *entry = node->entry;
        bool loaded = !entry->payload && entry->old_offset != 0;
        int32_t rc = loaded ? copy_loaded_frame(job, entry) : write_appended_frame(job, entry);
        if (rc != TAV_OK) return rc;
    }
    return TAV_OK;
}

int32_t write_padding(rewrite_job *job) {
    int32_t rc = temp_seek_to(job->context, job->plan.frames_end);
    if (rc != TAV_OK) return rc;
    memset(job->buffer, 0, kCopyBuffer < job->plan.padding ? kCopyBuffer : job->plan.padding);
    for (uint32_t done = 0; done < job->plan.padding;) {
        uint32_t n = job->plan.padding - done < kCopyBuffer ? job->plan.padding - done : kCopyBuffer;
        if ((rc = temp_put(job->context, job->buffer, n)) != TAV_OK) return rc;
        done += n;
    }
    return TAV_OK;
}

// A tag that had a footer gets one again, right after its last frame: the old
// header's version bytes under "3DI", with the new flags and size.
int32_t write_footer(rewrite_job *job) {
    if (!job->header->footer) return TAV_OK;
    tav_id3_context *context = job->context;
    uint8_t bytes[10];
    int32_t rc = content_seek_to(context, job->plan.position);
    if (rc != TAV_OK || (rc = content_get(context, bytes, 10)) != TAV_OK) return rc;
    bytes[0] = '3'; bytes[1] = 'D'; bytes[2] = 'I';
    bytes[5] = *context->edit->new_header_flags_ref;
    tav_syncsafe_encode(bytes + 6, job->plan.new_size);
    return temp_put(context, bytes, 10);
}

// Where the content after the old tag begins. In an AIFF file it is the end
// of the old ID3 chunk (and its pad byte when the chunk is odd and the file
// even); a chunk that is empty or holds no tag ends right where the new tag
// is placed, at its data offset. Elsewhere it is the end of the old tag and
// its footer, or the start of a content that had no tag. Never beyond the
// content's end: a tag that claims more than is there leaves nothing to copy.
int32_t find_copy_start(rewrite_job *job, uint32_t *start) {
    tav_id3_context *context = job->context;
    int64_t length = tav_id3_seek_content(context, 0, 2);
    if (length < 0) return TAV_ERR_SEEK;
    uint64_t at = 0;
    if (context->is_aiff) {
        uint8_t size_field[4];
        int32_t rc = content_seek_to(context, context->id3_chunk_offset + 4);
        if (rc != TAV_OK || (rc = content_get(context, size_field, 4)) != TAV_OK) return rc;
        uint32_t chunk_size = tav_be32(size_field);
        at = (uint64_t)context->id3_chunk_offset + 8 + chunk_size;
        if ((chunk_size & 1) && (length & 1) == 0) ++at;
    } else if (job->has_tag) {
        at = (uint64_t)job->plan.position + job->plan.old_length + (job->header->footer ? 10 : 0);
    }
    *start = (uint32_t)(at < (uint64_t)length ? at : (uint64_t)length);
    return TAV_OK;
}

// The rest of the content follows the new tag. An ID3 chunk that was appended
// when the context was opened is the last thing in its file: nothing follows.
int32_t write_rest(rewrite_job *job) {
    tav_id3_context *context = job->context;
    uint32_t start = 0;
    int32_t rc = find_copy_start(job, &start);
    if (rc != TAV_OK || (rc = content_seek_to(context, start)) != TAV_OK) return rc;
    if (temp_seek(context, 0, 2) < 0) return TAV_ERR_SEEK;
    if (tav_set_end_of_file(context->edit->temp_handle) != 0) return TAV_ERR_OTHER;
    if (context->is_aiff && context->id3_chunk_missing) return TAV_OK;
    return copy_to_end(job);
}

// The FORM size and the ID3 chunk size of the new file.
int32_t write_aiff_sizes(rewrite_job *job) {
    tav_id3_context *context = job->context;
    if (!context->is_aiff) return TAV_OK;
    int64_t length = temp_seek(context, 0, 2);
    if (length < 0) return TAV_ERR_SEEK;
    uint8_t size[4];
    tav_put_be32(size, (uint32_t)(length - 8));
    int32_t rc = temp_put_at(context, 4, size, 4);
    if (rc != TAV_OK) return rc;
    tav_put_be32(size, job->plan.new_size + 10);
    return temp_put_at(context, context->id3_chunk_offset + 4, size, 4);
}

int32_t write_new_content(rewrite_job *job) {
    int32_t (*const steps[])(rewrite_job *) = {write_leading_bytes, write_tag_header, write_ex_header,
                                               write_frames,        write_padding,    write_footer,
                                               write_rest,          write_aiff_sizes};
    for (auto step : steps) {
        int32_t rc = step(job);
        if (rc != TAV_OK) return rc;
    }
    return TAV_OK;
}

// Writes the whole new content into a fresh temporary file. On failure the
// temporary file is gone and the content was only read.
int32_t rewrite_through_temp(tav_id3_context *context, const tav_id3_v2_header *header, int32_t has_tag,
                             const layout &plan) {
    rewrite_job job = {context, header, has_tag, plan, nullptr};
    job.buffer = static_cast<uint8_t *>(tav_rud_malloc(kCopyBuffer));
    if (!job.buffer) return TAV_ERR_NOMEM;
    int32_t rc = create_temp(context);
    if (rc == TAV_OK) {
        rc = write_new_content(&job);
        if (rc != TAV_OK) tav_id3_v2_discard_temp(context);
    }
    tav_rud_free(job.buffer);
    return rc;
}

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

} // namespace

int32_t tav_id3_v2_edit_end(tav_id3_context *context) {
    static const char name[] = "tav_id3_v2_edit_end";
    tav_trace("tav_id3_v2_edit_end() enter");
    if (!context || !context->edit) {
        tav_log_error("in %s() parameter is invalid.", name);
        return TAV_ERR_PARAM;
    }
    if (context->transaction_state != TAV_TRANSACTION_V2_EDIT) {
        tav_log_error("in %s() transaction is invalid.", name);
        return TAV_ERR_STATE;
    }
    if (context->is_aiff && context->id3_chunk_data_offset == 0) return TAV_ERR_SEEK; // no ID3 chunk to write
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

    layout plan;
    if ((rc = lay_out(context, &header, &plan)) != TAV_OK) return rc;
    if ((rc = rewrite_through_temp(context, &header, has_tag, plan)) != TAV_OK) return rc;
    if ((rc = tav_id3_v2_replace_content(context)) != TAV_OK) return rc;
    tav_id3_v2_edit_release(context);
    tav_trace("tav_id3_v2_edit_end() exit");
    return TAV_OK;
}
