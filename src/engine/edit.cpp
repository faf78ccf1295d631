// The ID3v2 edit transaction up to its end: opening it (with the copy of the
// extended header and the frame list loaded from the tag), appending and
// removing frames, and the flags that the new tag header will carry.
// Loaded frames stay in the content and are referred to by their logical
// offset; only appended frames carry their bytes in memory.
#include <cstring>

#include "engine/edit_internal.h"
#include "engine/frame_list.h"
#include "engine/internal.h"

namespace {

const uint32_t kExHeaderCopy = 14; // size field, flags, padding size, CRC

const char kInvalidParam[] = "in %s() parameter is invalid.";
const char kInvalidState[] = "in %s() transaction is invalid.";

int32_t fail(const char *format, const char *function, int32_t code) {
    tav_log_error(format, function);
    return code;
}

uint32_t frame_header_length(int32_t version) { return version == TAV_ID3_V22 ? 6 : 10; }

// Keeps the 14 bytes that follow the tag header as they stand in the content
// (not de-unsynchronised): the rewrite writes them back, with the new padding
// size, ahead of the frames.
int32_t get_exist_ex_header(tav_id3_context *context, const tav_id3_v2_header *header) {
    tav_id3_edit_state *edit = context->edit;
    uint8_t *copy = static_cast<uint8_t *>(tav_rud_malloc(kExHeaderCopy));
    if (!copy) return fail("in %s() tav_rud_malloc() failed.", "tav_id3_v2_get_exist_ex_header", TAV_ERR_NOMEM);
    int32_t rc = TAV_OK;
    if (tav_id3_seek_content(context, header->position + 10, 0) < 0)
        rc = TAV_ERR_SEEK;
    else if (tav_id3_read_content(context, copy, kExHeaderCopy) != (int32_t)kExHeaderCopy)
        rc = TAV_ERR_READ;
    if (rc != TAV_OK) {
        tav_rud_free(copy);
        return rc;
    }
    tav_rud_free(edit->ex_header);
    edit->ex_header = copy;
    return TAV_OK;
}

uint32_t raw_frame_size(const uint8_t *raw, int32_t version) {
    switch (version) {
    case TAV_ID3_V22: return tav_be24(raw + 3);
    case TAV_ID3_V24: return tav_syncsafe_decode(raw + 4);
    default: return tav_be32(raw + 4);
    }
}

// Reads the frame header at logical offset pos into a new entry. *entry stays
// null when the frame area ends here: the tag's end reached, too few bytes
// left in the tag for a header, or padding. tag_end is where the header says
// the tag ends. A frame may run past it or past the end of the content: it is
// listed with the size its header gives, and the rewrite's copy of it fails if
// the content does not hold it.
int32_t load_one_frame(tav_id3_context *context, const tav_id3_v2_header *header, uint64_t pos,
                       uint64_t tag_end, tav_id3_v2_frame_entry **entry) {
    *entry = nullptr;
    uint32_t header_length = frame_header_length(header->version);
    if (tav_id3_v2_seek_logical(context, (uint32_t)pos, header->unsynchronisation) != 0) return TAV_ERR_SEEK;
    int64_t raw = tav_id3_seek_content(context, 0, 1);
    if (raw < 0) return TAV_ERR_SEEK;
    if ((uint64_t)raw >= tag_end || tag_end - (uint64_t)raw < header_length) return TAV_OK;
    tav_id3_v2_frame_entry *e = static_cast<tav_id3_v2_frame_entry *>(tav_rud_calloc(sizeof *e));
    if (!e) return TAV_ERR_NOMEM;
    if (tav_id3_v2_read_unsync(context, e->raw_header, header_length, header->unsynchronisation, nullptr) != 0) {
        tav_frame_entry_free(e);
        return TAV_ERR_READ;
    }
    uint32_t size = raw_frame_size(e->raw_header, header->version);
    // The total is a 32-bit field like the size: an ID3v2.3 size within 10 of
    // 2^32 wraps it. A zero total or a zero ID byte (padding) ends the list.
    uint32_t total = header_length + size;
    if (e->raw_header[0] == 0 || total == 0) {
        tav_frame_entry_free(e);
        return TAV_OK;
    }
    e->old_offset = (uint32_t)pos;
    e->total_size = total;
    e->payload_size = size;
    *entry = e;
    return TAV_OK;
}

// Loads the headers of the tag's frames into the list, in tag order, and
// records where the last one ends.
int32_t load_frame_list(tav_id3_context *context, const tav_id3_v2_header *header) {
    tav_id3_edit_state *edit = context->edit;
    uint32_t first = 0;
    int32_t rc = tav_id3_v2_first_frame_position(context, header, &first);
    if (rc != TAV_OK) return rc;
    const uint64_t tag_end = (uint64_t)(uint32_t)header->position + (uint32_t)header->size + 10;
    uint64_t pos = first;
    while (pos < tag_end) {
        tav_id3_v2_frame_entry *entry = nullptr;
        rc = load_one_frame(context, header, pos, tag_end, &entry);
        if (rc != TAV_OK) return rc;
        if (!entry) break;
        tav_id3_v2_frame_node *head = tav_frame_list_append(edit->frames, entry);
        if (!head) {
            tav_frame_entry_free(entry);
            return TAV_ERR_NOMEM;
        }
        edit->frames = head;
        pos += entry->total_size;
    }
    edit->frames_end = (uint32_t)pos;
    return TAV_OK;
}

// Frame flags are written in the ID3v2.3 bit layout for 2.3 and 2.4 alike,
// the layout in which the frame reader decodes them.
void put_frame_flags(tav_id3_v2_frame_entry *entry, const tav_id3_v2_frame_header *header) {
    uint8_t first = 0, second = 0;
    if (header->tag_alter_preservation) first |= 0x80;
    if (header->file_alter_preservation) first |= 0x40;
    if (header->read_only) first |= 0x20;
    if (header->compression) {
        second |= 0x80;
        tav_put_be32(entry->extra + entry->extra_count, header->data_length);
        entry->extra_count += 4;
    }
    if (header->encryption) {
        second |= 0x40;
        entry->extra[entry->extra_count++] = header->encryption_method;
    }
    if (header->grouping_identity) {
        second |= 0x20;
        entry->extra[entry->extra_count++] = header->group_id;
    }
    entry->raw_header[8] = first;
    entry->raw_header[9] = second;
}

// Builds the entry's frame header in the transaction's version and copies the
// payload. A size that the version's size field cannot hold is refused.
int32_t set_frame(tav_id3_context *context, tav_id3_v2_frame_entry *entry, const tav_id3_v2_frame_header *header,
                  const uint8_t *payload) {
    const uint32_t id = header->id;
    const uint32_t size = header->size;
    uint8_t *raw = entry->raw_header;
    switch (context->edit->version) {
    case TAV_ID3_V22:
        if (size > 0xFFFFFFu) return TAV_ERR_PARAM;
        raw[0] = (uint8_t)(id >> 24); raw[1] = (uint8_t)(id >> 16); raw[2] = (uint8_t)(id >> 8);
        tav_put_be24(raw + 3, size);
        entry->total_size = size + 6;
        break;
    case TAV_ID3_V23:
    case TAV_ID3_V24: {
        tav_put_be32(raw, id);
        put_frame_flags(entry, header);
        uint64_t field = (uint64_t)size + entry->extra_count;
        uint64_t limit = context->edit->version == TAV_ID3_V24 ? 0x0FFFFFFFu : 0xFFFFFFFFu - 10;
        if (field > limit) return TAV_ERR_PARAM;
        if (context->edit->version == TAV_ID3_V24)
            tav_syncsafe_encode(raw + 4, (uint32_t)field);
        else
            tav_put_be32(raw + 4, (uint32_t)field);
        entry->total_size = (uint32_t)field + 10;
        break;
    }
    default:
        break; // no frame layout for an unknown version: the entry stays empty
    }
    // A zero-length payload still gets its own (one-byte) block, so that an
    // appended entry is always told apart from a loaded one by its payload.
    entry->payload = static_cast<uint8_t *>(tav_rud_malloc(size ? size : 1));
    if (!entry->payload) return fail("in %s() tav_rud_malloc() failed.", "tav_id3_v2_set_frame", TAV_ERR_NOMEM);
    if (size) memcpy(entry->payload, payload, size);
    entry->payload_size = size;
    return TAV_OK;
}

bool entry_has_id(const tav_id3_v2_frame_entry *entry, uint32_t id, int32_t version) {
    const uint8_t *raw = entry->raw_header;
    uint8_t want[4] = {(uint8_t)(id >> 24), (uint8_t)(id >> 16), (uint8_t)(id >> 8), (uint8_t)id};
    if (version == TAV_ID3_V22) return memcmp(raw, want, 3) == 0;
    if (version == TAV_ID3_V23 || version == TAV_ID3_V24) return memcmp(raw, want, 4) == 0;
    return false;
}

// A frame loaded from the tag may be marked read only; the bit sits where
// each version puts it (0x20 in ID3v2.3, 0x10 in ID3v2.4). Frames appended
// in this transaction are the caller's own and never read only.
bool entry_is_read_only(const tav_id3_v2_frame_entry *entry, int32_t version) {
    if (entry->old_offset == 0 || entry->payload) return false;
    if (version == TAV_ID3_V23) return (entry->raw_header[8] & 0x20) != 0;
    if (version == TAV_ID3_V24) return (entry->raw_header[8] & 0x10) != 0;
    return false;
}

// The header search reports every failure as "no tag". Before an edit takes
// a content for tagless, make sure a read failure did not hide a tag where
// the search starts: were it so, the old tag would end up behind the new one.
int32_t confirm_no_tag(tav_id3_context *context, uint32_t position) {
    uint8_t bytes[10];
    if (tav_id3_seek_content(context, (int32_t)position, 0) < 0) return TAV_ERR_SEEK;
    int32_t got = tav_id3_read_content(context, bytes, sizeof bytes);
    if (got < 0) return TAV_ERR_READ;
    if (got == (int32_t)sizeof bytes && memcmp(bytes, "ID3", 3) == 0 &&
        tav_id3_v2_version_code(bytes[3], bytes[4]) != TAV_ID3_VNONE)
        return TAV_ERR_READ;
    return TAV_OK;
}

} // namespace

int32_t tav_id3_v2_edit_header(tav_id3_context *context, tav_id3_v2_header *header, int32_t *has_tag) {
    *has_tag = tav_id3_v2_get_header(context, header) == TAV_OK;
    if (*has_tag && context->is_aiff && (uint32_t)header->position != context->id3_chunk_data_offset)
        *has_tag = 0;
    if (!*has_tag) {
        memset(header, 0, sizeof *header);
        header->version = TAV_ID3_V23;
        header->position = context->is_aiff ? (int32_t)context->id3_chunk_data_offset : 0;
        return confirm_no_tag(context, (uint32_t)header->position);
    }
    // An unrecognised version gives no frame layout to load, build or write,
    // so such a tag is treated as unusable rather than guessed at.
    if (header->version != TAV_ID3_V22 && header->version != TAV_ID3_V23 && header->version != TAV_ID3_V24)
        return TAV_ERR_NOT_FOUND;
    return TAV_OK;
}

int32_t tav_id3_v2_edit_begin(tav_id3_context *context) {
    static const char name[] = "tav_id3_v2_edit_begin";
    tav_trace("tav_id3_v2_edit_begin() enter");
    if (!context || !context->edit) return fail(kInvalidParam, name, TAV_ERR_PARAM);
    if (context->transaction_state != TAV_TRANSACTION_NONE) return fail(kInvalidState, name, TAV_ERR_STATE);
    tav_id3_v2_header header;
    int32_t has_tag = 0;
    int32_t rc = tav_id3_v2_edit_header(context, &header, &has_tag);
    if (rc != TAV_OK) return rc;

    // From here on the transaction is open, also when the extended header or
    // the frame list cannot be read: only a successful end closes it.
    context->transaction_state = TAV_TRANSACTION_V2_EDIT;
    context->edit->version = header.version;
    if (header.extended_header) {
        rc = get_exist_ex_header(context, &header);
        if (rc != TAV_OK) return rc;
    }
    rc = load_frame_list(context, &header);
    if (rc != TAV_OK) return rc;
    tav_trace("tav_id3_v2_edit_begin() exit");
    return TAV_OK;
}

int32_t tav_id3_v2_add_frame(tav_id3_context *context, const tav_id3_v2_frame_header *header,
                             const uint8_t *payload) {
    static const char name[] = "tav_id3_v2_add_frame";
    tav_trace("tav_id3_v2_add_frame() enter");
    if (!context || !context->edit || !header || !payload) return fail(kInvalidParam, name, TAV_ERR_PARAM);
    if (context->transaction_state != TAV_TRANSACTION_V2_EDIT) return fail(kInvalidState, name, TAV_ERR_STATE);
    tav_id3_v2_frame_entry *entry = static_cast<tav_id3_v2_frame_entry *>(tav_rud_calloc(sizeof *entry));
    if (!entry) return fail("in %s() tav_rud_calloc() failed.", name, TAV_ERR_NOMEM);
    int32_t rc = set_frame(context, entry, header, payload);
    if (rc != TAV_OK) {
        tav_frame_entry_free(entry);
        return rc;
    }
    tav_id3_v2_frame_node *head = tav_frame_list_append(context->edit->frames, entry);
    if (!head) {
        tav_frame_entry_free(entry);
        return fail("in %s() tav_rud_calloc() failed.", name, TAV_ERR_NOMEM);
    }
    context->edit->frames = head;
    tav_trace("tav_id3_v2_add_frame() exit");
    return TAV_OK;
}

int32_t tav_id3_v2_find_frame_index(tav_id3_context *context, uint32_t id, int32_t index) {
    if (!context || !context->edit || index < 0) return -1;
    int32_t position = 0, matches = 0;
    for (tav_id3_v2_frame_node *node = tav_frame_list_first(context->edit->frames); node;
         node = node->next, ++position) {
        if (!entry_has_id(node->entry, id, context->edit->version)) continue;
        if (matches == index) return position;
        ++matches;
    }
    return -1;
}

int32_t tav_id3_v2_remove_frame(tav_id3_context *context, uint32_t id, int32_t index) {
    static const char name[] = "tav_id3_v2_remove_frame";
    tav_trace("tav_id3_v2_remove_frame() enter");
    if (!context || !context->edit) return fail(kInvalidParam, name, TAV_ERR_PARAM);
    if (context->transaction_state != TAV_TRANSACTION_V2_EDIT) return fail(kInvalidState, name, TAV_ERR_STATE);
    tav_id3_edit_state *edit = context->edit;
    int32_t position = tav_id3_v2_find_frame_index(context, id, index);
    if (position < 0) return fail("in %s() frame is not found.", name, TAV_ERR_NOT_FOUND);
    tav_id3_v2_frame_entry *entry = tav_frame_list_nth(edit->frames, (uint32_t)position)->entry;
    if (entry_is_read_only(entry, edit->version)) return fail("in %s() frame is read only.", name, TAV_ERR_PARAM);
    edit->frames = tav_frame_list_unlink(edit->frames, entry);
    tav_frame_entry_free(entry);
    tav_trace("tav_id3_v2_remove_frame() exit");
    return TAV_OK;
}

int32_t tav_id3_v2_set_header_flag_info(tav_id3_context *context, const tav_id3_v2_header_flags *flags) {
    static const char name[] = "tav_id3_v2_set_header_flag_info";
    tav_trace("tav_id3_v2_set_header_flag_info() enter");
    if (!context || !context->edit || !flags) return fail(kInvalidParam, name, TAV_ERR_PARAM);
    if (context->transaction_state != TAV_TRANSACTION_V2_EDIT) return fail(kInvalidState, name, TAV_ERR_STATE);
    tav_id3_edit_state *edit = context->edit;
    // Each version knows its own set of header flags; the others are dropped.
    uint8_t byte = flags->unsynchronisation ? 0x80 : 0;
    switch (edit->version) {
    case TAV_ID3_V22:
        if (flags->compression) byte |= 0x40;
        break;
    case TAV_ID3_V24:
        if (flags->footer) byte |= 0x10;
        [[fallthrough]]; // 2.4 has the 2.3 flags too
    case TAV_ID3_V23:
        if (flags->extended_header) byte |= 0x40;
        if (flags->experimental) byte |= 0x20;
        break;
    default:
        break;
    }
    edit->new_header_flags = byte;
    edit->new_header_flags_ref = &edit->new_header_flags;
    tav_trace("tav_id3_v2_set_header_flag_info() exit");
    return TAV_OK;
}

int32_t tav_id3_v2_remove_extended_header(tav_id3_context *context) {
    static const char name[] = "tav_id3_v2_remove_extended_header";
    tav_trace("tav_id3_v2_remove_extended_header() enter");
    if (!context || !context->edit) return fail(kInvalidParam, name, TAV_ERR_PARAM);
    tav_id3_edit_state *edit = context->edit;
    if (edit->version != TAV_ID3_V23 && edit->version != TAV_ID3_V24)
        return fail("in %s() content not support ex_header.", name, TAV_ERR_EX_HEADER);
    if (context->transaction_state != TAV_TRANSACTION_V2_EDIT) return fail(kInvalidState, name, TAV_ERR_STATE);
    tav_rud_free(edit->ex_header);
    edit->ex_header = nullptr;

    // The new header keeps the old header's flags, less the extended header.
    tav_id3_v2_header header;
    int32_t rc = tav_id3_v2_get_header(context, &header);
    if (rc != TAV_OK) return rc;
    tav_id3_v2_header_flags flags = {header.unsynchronisation, header.compression, 0, header.experimental,
                                     header.footer};
    rc = tav_id3_v2_set_header_flag_info(context, &flags);
    if (rc != TAV_OK) return rc;
    tav_trace("tav_id3_v2_remove_extended_header() exit");
    return TAV_OK;
}
