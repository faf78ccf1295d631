// Engine contexts: creation over a file (with optional AIFF handling) or over
// a memory image, destruction, and the writer of an empty ID3v2 tag that a new
// content or a new AIFF "ID3 " chunk starts with.
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "engine/edit_internal.h"
#include "engine/internal.h"
#include "engine/journal_internal.h"
#include "engine/read_cache.h"

namespace {

const char kCreate[] = "tav_id3_create_context2";
const char kCreateMemory[] = "tav_id3_create_context_from_memory";
const char kDestroy[] = "tav_id3_destroy_context";

// Every field zero, except the file handle: -1 is the "no file" value, and on
// this platform descriptor 0 is a real file.
void clear_context(tav_id3_context *context) {
    memset(context, 0, sizeof *context);
    context->handle = -1;
}

// Releases what a context owns without touching its file.
void release_blocks(tav_id3_context *context) {
    tav_id3_cache_free(context);
    tav_id3_deferred_free(context);
    tav_rud_free(context->path);
    tav_rud_free(context->edit);
    if (context->memory) tav_rud_free(context->memory->buffer);
    tav_rud_free(context->memory);
    context->path = nullptr;
    context->edit = nullptr;
    context->memory = nullptr;
}

// Undoes a creation that failed half way: closes the file if one was opened
// and frees every block, leaving an empty context behind.
int32_t abandon(tav_id3_context *context, int32_t code) {
    if (context->handle != -1) tav_id3_close_content(context);
    release_blocks(context);
    clear_context(context);
    return code;
}

// Steps shared by both creations: the zeroed context, its edit state and its
// path copy.
int32_t begin_context(tav_id3_context *context, const wchar_t *path, const char *function) {
    clear_context(context);
    context->edit = static_cast<tav_id3_edit_state *>(tav_rud_calloc(sizeof(tav_id3_edit_state)));
    if (!context->edit) {
        tav_log_error("in %s() tav_rud_calloc() failed.", function);
        return TAV_ERR_NOMEM;
    }
    context->edit->temp_handle = -1;
    context->edit->temp_name[0] = L'\0';
    context->path = tav_rud_strndup(path, wcslen(path));
    if (!context->path) {
        tav_log_error("in %s() tav_rud_strndup() failed.", function);
        return abandon(context, TAV_ERR_NOMEM);
    }
    return TAV_OK;
}

int32_t open_code(int32_t open_result) {
    if (open_result == 0) return TAV_OK;
    return open_result == TAV_OPEN_NOT_FOUND ? TAV_ERR_NOT_FOUND : TAV_ERR_OPEN;
}

// An AIFF form keeps its tag in an "ID3 " chunk: find it (appending one with
// an empty tag when the file is opened for writing and has none) and leave
// the file positioned at the chunk data.
int32_t prepare_aiff(tav_id3_context *context, const tav_id3_v2_header *header) {
    int32_t is_aiff = 0;
    if (tav_id3_aiff_is_form(context, &is_aiff) != TAV_OK || !is_aiff) return TAV_OK;
    context->is_aiff = 1;

    int32_t result = tav_id3_aiff_find_chunk(context);
    if (result != TAV_OK) return result;
    if (context->id3_chunk_missing && context->mode == 2) {
        result = tav_id3_aiff_append_chunk(context);
        if (result == TAV_OK) result = tav_id3_write_empty_tag(context, header);
        if (result == TAV_OK) result = tav_id3_aiff_fix_sizes(context);
        if (result != TAV_OK) return result;
    }
    uint32_t data = context->id3_chunk_data_offset;
    if (data == 0 || data > INT32_MAX || tav_id3_seek_content(context, (int32_t)data, 0) < 0) return TAV_ERR_SEEK;
    return TAV_OK;
}

} // namespace

int32_t tav_id3_write_empty_tag(tav_id3_context *context, const tav_id3_v2_header *header) {
    // The caller describes the tag; without a description (or with a negative
    // padding length) there is nothing sensible to write.
    if (!context || !header || header->size < 0) return TAV_ERR_PARAM;

    uint8_t bytes[10] = {'I', 'D', '3', 3, 0, 0};
    if (header->unsynchronisation == 1) bytes[5] |= 0x80;
    if (header->extended_header == 1) bytes[5] |= 0x40;
    if (header->experimental == 1) bytes[5] |= 0x20;
    tav_syncsafe_encode(bytes + 6, (uint32_t)header->size);

    uint32_t position = context->is_aiff ? context->id3_chunk_data_offset : 0;
    if (position > INT32_MAX || tav_id3_seek_content(context, (int32_t)position, 0) < 0) return TAV_ERR_SEEK;
    if (tav_id3_write_content(context, bytes, sizeof bytes) != (int32_t)sizeof bytes) return TAV_ERR_WRITE;

    static const uint8_t zeros[4096] = {0};
    uint32_t left = (uint32_t)header->size;
    while (left > 0) {
        uint32_t piece = left < sizeof zeros ? left : (uint32_t)sizeof zeros;
        if (tav_id3_write_content(context, zeros, piece) != (int32_t)piece) return TAV_ERR_WRITE;
        left -= piece;
    }
    return TAV_OK;
}

int32_t tav_id3_create_context2(const wchar_t *path, int32_t mode, const tav_id3_v2_header *header, int32_t aiff,
                                tav_id3_context *context) {
    tav_trace("tav_id3_create_context() enter");
    if (!path || !context || (mode == 1 && !header)) {
        tav_log_error("in %s() parameter is invalid.", kCreate);
        return TAV_ERR_PARAM;
    }
    // A commit killed part-way is completed (or its torn journal dropped)
    // before anything reads the content.
    tav_id3_recover(path);
    if (mode != 1 && !(tav_file_type(path) & TAV_FILE_TYPE_REGULAR)) {
        tav_log_error("in %s() file is invalid.", kCreate);
        return TAV_ERR_NOT_FOUND;
    }

    int32_t result = begin_context(context, path, kCreate);
    if (result != TAV_OK) return result;
    context->content_type = TAV_CONTENT_FILE;
    context->mode = mode;
    result = open_code(tav_id3_open_content(context, mode, &context->handle));
    if (result != TAV_OK) return abandon(context, result);
    context->transaction_state = TAV_TRANSACTION_NONE;

    if (aiff) {
        result = prepare_aiff(context, header);
        if (result != TAV_OK) return abandon(context, result);
    }
    if (mode == 1) {
        result = tav_id3_write_empty_tag(context, header);
        if (result != TAV_OK) return abandon(context, result);
    }
    tav_trace("tav_id3_create_context() exit");
    return TAV_OK;
}

int32_t tav_id3_create_context_from_memory(const uint8_t *buffer, uint32_t length, int32_t mode,
                                           const tav_id3_v2_header *header, tav_id3_context *context) {
    if (!context) return TAV_ERR_PARAM;
    if (mode == 0 ? (!buffer || length == 0) : (mode != 1 || !header)) return TAV_ERR_PARAM;

    int32_t result = begin_context(context, L"", kCreateMemory);
    if (result != TAV_OK) return result;
    context->mode = mode;
    // Opening an empty path opens nothing and leaves the handle at -1.
    result = open_code(tav_id3_open_content(context, mode, &context->handle));
    if (result != TAV_OK) return abandon(context, result);
    context->content_type = TAV_CONTENT_MEMORY;
    context->transaction_state = TAV_TRANSACTION_NONE;

    tav_id3_memory_content *memory =
        static_cast<tav_id3_memory_content *>(tav_rud_calloc(sizeof(tav_id3_memory_content)));
    if (!memory) {
        tav_log_error("in %s() buf_id3 tav_rud_calloc() failed.", kCreateMemory);
        return abandon(context, TAV_ERR_NOMEM);
    }
    context->memory = memory;

    if (mode == 0) {
        memory->buffer = static_cast<uint8_t *>(tav_rud_malloc(length));
        if (!memory->buffer) return abandon(context, TAV_ERR_NOMEM);
        memcpy(memory->buffer, buffer, length);
        memory->data_length = length;
        memory->capacity = length;
        memory->position = 0;
    } else {
        memory->capacity = 0x100000;
        memory->buffer = static_cast<uint8_t *>(tav_rud_calloc(memory->capacity));
        if (!memory->buffer) return abandon(context, TAV_ERR_NOMEM);
        memory->data_length = (uint32_t)header->size + 10;
        memory->position = 0;
        result = tav_id3_write_empty_tag(context, header);
        if (result != TAV_OK) return abandon(context, result);
    }
    tav_trace("tav_id3_create_context() exit");
    return TAV_OK;
}

int32_t tav_id3_destroy_context(tav_id3_context *context) {
    tav_trace("tav_id3_destroy_context() enter");
    if (!context) {
        tav_log_error("in %s() parameter is invalid.", kDestroy);
        return TAV_ERR_PARAM;
    }
    int32_t closed = tav_id3_close_content(context);
    // A transaction that was never ended still owns its frame list and payloads:
    // drop them here so that destroying mid-edit leaks nothing. The content
    // keeps what it held before the edit.
    if (context->edit && context->transaction_state != TAV_TRANSACTION_NONE) tav_id3_v2_edit_release(context);
    release_blocks(context);
    if (closed != 0) return TAV_ERR_CLOSE;
    tav_trace("tav_id3_destroy_context() exit");
    return TAV_OK;
}
