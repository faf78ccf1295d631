// The new tag of an edit, built whole in memory (layout, padding, header,
// extended header, frames, footer), and the rewrite of the whole content
// around it: into a temporary file beside the content (bytes before the tag,
// the new tag, the bytes after the old tag, AIFF sizes), or straight into a
// new memory image.
// The content itself is only read here; replace.cpp puts the finished file in
// its place, journal.cpp writes a tag that keeps its place over the old one.
#include <cstring>
#include <cwchar>

#include "engine/edit_internal.h"
#include "engine/frame_list.h"
#include "engine/internal.h"
#include "engine/read_cache.h"

namespace {

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

struct build_job {
    const tav_id3_v2_header *header;
    int32_t has_tag;
    layout plan;
};

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
// TAV_ERR_OTHER when the new tag or content could not be addressed, with
// TAV_ERR_READ when the content does not hold a loaded frame whole.
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
    // whole: the new tag cannot be built, a short read, before anything is
    // written. The offsets beyond it need not be addressable.
    bool copy_fails = false;
    for (tav_id3_v2_frame_node *node = tav_frame_list_first(edit->frames); node && !copy_fails; node = node->next) {
        if (offset > kMaxOffset) return TAV_ERR_OTHER;
        tav_id3_v2_frame_entry *entry = node->entry;
        entry->new_offset = (uint32_t)offset;
        offset += entry->total_size;
        copy_fails = !entry->payload && entry->old_offset != 0 &&
                     (uint64_t)entry->old_offset + entry->total_size > (uint64_t)content_length;
    }
    if (copy_fails) return TAV_ERR_READ;
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

// The temporary file is made beside the content (a hidden unique name that
// the platform creates), so that it replaces the content by a rename in one
// directory and is never copied across file systems. A directory that lets
// this process add no file sends it to the temporary directory under a
// unique "id3" name instead; the move then copies it over the content.
int32_t make_temp_file(const wchar_t *path, wchar_t *name) {
    int32_t made = tav_create_temp_beside(path, name);
    if (made != TAV_OPEN_DENIED) return made == 0 ? TAV_OK : TAV_ERR_OTHER;
    wchar_t directory[TAV_PATH_MAX + 1];
    if (tav_get_temp_path(TAV_PATH_MAX + 1, directory) == 0) return TAV_ERR_OTHER;
    return tav_get_temp_file_name(directory, name) != 0 ? TAV_OK : TAV_ERR_OTHER;
}

// The name buffer must also be able to hold the content's path, so a content
// whose path does not fit is refused.
int32_t create_temp(tav_id3_context *context) {
    tav_id3_edit_state *edit = context->edit;
    if (context->path && wcslen(context->path) >= TAV_PATH_MAX) return TAV_ERR_OTHER;
    edit->temp_name[0] = L'\0';
    if (make_temp_file(context->path, edit->temp_name) != TAV_OK) {
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

// The image's first ten bytes: the old header, so that its version and
// revision stay (a new tag starts as ID3v2.3), then the flags byte (never
// unsynchronised: loaded frames are copied de-unsynchronised, appended ones
// are plain) and the new size.
int32_t put_tag_header(tav_id3_context *context, const build_job &job, uint8_t *image) {
    uint8_t bytes[10] = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
    int32_t rc;
    if (job.has_tag) {
        if ((rc = content_seek_to(context, job.plan.position)) != TAV_OK) return rc;
        if ((rc = content_get(context, bytes, 10)) != TAV_OK) return rc;
    }
    bytes[5] = *context->edit->new_header_flags_ref;
    tav_syncsafe_encode(bytes + 6, job.plan.new_size);
    memcpy(image, bytes, 10);
    return TAV_OK;
}

// The extended header copy, with the new padding size in its padding field.
// Only the 14 bytes that were kept can be written; any rest of a longer
// extended header stays zero.
void put_ex_header(tav_id3_context *context, const layout &plan, uint8_t *image) {
    uint8_t *ex_header = context->edit->ex_header;
    if (!ex_header) return;
    tav_put_be32(ex_header + 6, plan.padding);
    uint64_t length = ex_header_length(ex_header);
    memcpy(image + 10, ex_header, length > 14 ? 14 : (size_t)length);
}

// A loaded frame is copied from its old place as the frame reader sees it,
// through unsynchronisation removal when the old tag was unsynchronised. A
// frame the content does not hold whole is a read failure.
int32_t put_loaded_frame(tav_id3_context *context, const build_job &job, const tav_id3_v2_frame_entry *entry,
                         uint8_t *at) {
    const int32_t unsync = job.header->unsynchronisation;
    if (tav_id3_v2_seek_logical(context, entry->old_offset, unsync) != 0) return TAV_ERR_SEEK;
    return tav_id3_v2_read_unsync(context, at, entry->total_size, unsync, nullptr) == 0 ? TAV_OK : TAV_ERR_READ;
}

void put_appended_frame(const tav_id3_context *context, const tav_id3_v2_frame_entry *entry, uint8_t *at) {
    const bool v22 = context->edit->version == TAV_ID3_V22;
    const uint32_t header_length = v22 ? 6 : 10;
    memcpy(at, entry->raw_header, header_length);
    at += header_length;
    if (!v22 && entry->extra_count) {
        memcpy(at, entry->extra, entry->extra_count);
        at += entry->extra_count;
    }
    if (entry->payload && entry->payload_size) memcpy(at, entry->payload, entry->payload_size);
}

int32_t put_frames(tav_id3_context *context, const build_job &job, uint8_t *image) {
    for (tav_id3_v2_frame_node *node = tav_frame_list_first(context->edit->frames); node; node = node->next) {
        const tav_id3_v2_frame_entry *entry = node->entry;
        uint8_t *at = image + (entry->new_offset - job.plan.position);
        if (!entry->payload && entry->old_offset != 0) {
            int32_t rc = put_loaded_frame(context, job, entry, at);
            if (rc != TAV_OK) return rc;
        } else {
            put_appended_frame(context, entry, at);
        }
    }
    return TAV_OK;
}

// A tag that had a footer gets one again, right after its last frame (no
// padding then): the header's version bytes under "3DI".
void put_footer(const build_job &job, uint8_t *image, uint32_t length) {
    if (!job.header->footer) return;
    uint8_t *footer = image + length - 10;
    memcpy(footer, image, 10);
    footer[0] = '3'; footer[1] = 'D'; footer[2] = 'I';
}

// Where the content after the old tag begins. In an AIFF file it is the end
// of the old ID3 chunk (and its pad byte when the chunk is odd and the file
// even); a chunk that is empty or holds no tag ends right where the new tag
// is placed, at its data offset. Elsewhere it is the end of the old tag and
// its footer, or the start of a content that had no tag. Never beyond the
// content's end: a tag that claims more than is there leaves nothing to copy.
int32_t find_copy_start(tav_id3_context *context, const build_job &job, uint32_t *start) {
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
    } else if (job.has_tag) {
        at = (uint64_t)job.plan.position + job.plan.old_length + (job.header->footer ? 10 : 0);
    }
    *start = (uint32_t)(at < (uint64_t)length ? at : (uint64_t)length);
    return TAV_OK;
}

// The bytes of the new tag, zero-filled first so that padding and the rest of
// a long extended header need no writing of their own.
int32_t build_image(tav_id3_context *context, const build_job &job, tav_id3_new_tag *tag) {
    const uint32_t length = job.plan.frames_end + job.plan.padding - job.plan.position + (job.header->footer ? 10 : 0);
    uint8_t *image = static_cast<uint8_t *>(tav_rud_calloc(length));
    if (!image) return TAV_ERR_NOMEM;
    int32_t rc = put_tag_header(context, job, image);
    if (rc == TAV_OK) {
        put_ex_header(context, job.plan, image);
        rc = put_frames(context, job, image);
    }
    if (rc != TAV_OK) {
        tav_rud_free(image);
        return rc;
    }
    put_footer(job, image, length);
    tag->image = image;
    tag->length = length;
    return TAV_OK;
}

int32_t copy_range(tav_id3_context *context, uint32_t from, int32_t to_handle, uint32_t to, uint32_t count) {
    if (count == 0) return TAV_OK;
    return tav_copy_range(context->handle, from, to_handle, to, count) == 0 ? TAV_OK : TAV_ERR_READ;
}

// The rest of the content follows the new tag. An ID3 chunk that was appended
// when the context was opened is the last thing in its file: nothing follows.
uint32_t rest_length(const tav_id3_context *context, const tav_id3_new_tag &tag, uint32_t content_length) {
    if (context->is_aiff && context->id3_chunk_missing) return 0;
    return content_length - tag.copy_start;
}

// A file content: the bytes before the tag, the tag in one write, the rest
// (the kernel copies, or shares blocks, where it can), the AIFF sizes.
int32_t write_temp_file(tav_id3_context *context, const tav_id3_new_tag &tag, uint32_t content_length) {
    const int32_t temp = context->edit->temp_handle;
    int32_t rc = copy_range(context, 0, temp, 0, tag.position);
    if (rc != TAV_OK) return rc;
    if (tav_write_at(temp, tag.image, tag.length, tag.position) != (int32_t)tag.length) return TAV_ERR_WRITE;
    const uint32_t rest = rest_length(context, tag, content_length);
    if ((rc = copy_range(context, tag.copy_start, temp, tag.position + tag.length, rest)) != TAV_OK) return rc;
    if (!context->is_aiff) return TAV_OK;
    // The FORM size and the ID3 chunk size of the new file.
    uint8_t form[4], chunk[4];
    tav_put_be32(form, tag.position + tag.length + rest - 8);
    tav_put_be32(chunk, tag.new_size + 10);
    if (tav_write_at(temp, form, 4, 4) != 4 || tav_write_at(temp, chunk, 4, context->id3_chunk_offset + 4) != 4)
        return TAV_ERR_WRITE;
    return TAV_OK;
}

} // namespace

int32_t tav_id3_v2_build_tag(tav_id3_context *context, const tav_id3_v2_header *header, int32_t has_tag,
                             tav_id3_new_tag *tag) {
    build_job job = {header, has_tag, {}};
    memset(tag, 0, sizeof *tag);
    int32_t rc = lay_out(context, header, &job.plan);
    if (rc != TAV_OK || (rc = find_copy_start(context, job, &tag->copy_start)) != TAV_OK) return rc;
    tag->position = job.plan.position;
    tag->new_size = job.plan.new_size;
    return build_image(context, job, tag);
}

void tav_id3_v2_free_tag(tav_id3_new_tag *tag) {
    tav_rud_free(tag->image);
    tag->image = nullptr;
}

int32_t tav_id3_v2_rewrite_file(tav_id3_context *context, const tav_id3_new_tag *tag) {
    int64_t length = tav_id3_seek_content(context, 0, 2);
    if (length < 0) return TAV_ERR_SEEK;
    if (context->handle == -1) return TAV_ERR_OTHER;
    int32_t rc = create_temp(context);
    if (rc != TAV_OK) return rc;
    rc = write_temp_file(context, *tag, (uint32_t)length);
    if (rc != TAV_OK) tav_id3_v2_discard_temp(context);
    return rc;
}

int32_t tav_id3_v2_rebuild_memory(tav_id3_context *context, const tav_id3_new_tag *tag) {
    tav_id3_memory_content *memory = context->memory;
    if (!memory) return TAV_ERR_OTHER;
    const uint32_t length = memory->data_length;
    const uint32_t rest = rest_length(context, *tag, length);
    uint64_t total = (uint64_t)tag->position + tag->length + rest;
    if (tag->position > length || total > 0xFFFFFFFEull) return TAV_ERR_READ;
    uint32_t capacity = total > memory->capacity ? (uint32_t)total : memory->capacity;
    uint8_t *block = static_cast<uint8_t *>(tav_rud_calloc(capacity ? capacity : 1));
    if (!block) return TAV_ERR_NOMEM;
    memcpy(block, memory->buffer, tag->position);
    memcpy(block + tag->position, tag->image, tag->length);
    memcpy(block + tag->position + tag->length, memory->buffer + tag->copy_start, rest);
    tav_id3_cache_content_changed(context);
    tav_rud_free(memory->buffer);
    memory->buffer = block;
    memory->capacity = capacity;
    memory->data_length = (uint32_t)total;
    memory->position = (uint32_t)total;
    return TAV_OK;
}
