// AIFF and AIFF-C support: recognising a "FORM" file of form type "AIFF" or
// "AIFC", finding its "ID3 " chunk, appending one, and fixing the chunk and
// FORM sizes after the tag inside has been written. All integers big-endian.
#include <cstdint>
#include <cstring>

#include "engine/internal.h"

namespace {

// Seeks from the start to an offset computed in 64 bits; offsets the 32-bit
// content seek cannot express fail like a seek failure.
bool seek_to(tav_id3_context *context, int64_t offset) {
    if (offset < 0 || offset > INT32_MAX) return false;
    return tav_id3_seek_content(context, (int32_t)offset, 0) == offset;
}

bool write_all(tav_id3_context *context, const uint8_t *bytes, uint32_t count) {
    return tav_id3_write_content(context, bytes, count) == (int32_t)count;
}

int32_t write_be32_at(tav_id3_context *context, int64_t offset, uint32_t value) {
    if (!seek_to(context, offset)) return TAV_ERR_SEEK;
    uint8_t bytes[4];
    tav_put_be32(bytes, value);
    return write_all(context, bytes, 4) ? TAV_OK : TAV_ERR_WRITE;
}

} // namespace

int32_t tav_id3_aiff_is_form(tav_id3_context *context, int32_t *is_aiff) {
    *is_aiff = 0;
    if (!seek_to(context, 0)) return TAV_ERR_SEEK;
    uint8_t head[12];
    if (tav_id3_read_content(context, head, sizeof head) != (int32_t)sizeof head) return TAV_ERR_READ;
    *is_aiff = memcmp(head, "FORM", 4) == 0 && (memcmp(head + 8, "AIFF", 4) == 0 || memcmp(head + 8, "AIFC", 4) == 0);
    return TAV_OK;
}

// Walks the chunks of the form from offset 12: each chunk is an identifier,
// a 32-bit size and a body padded to even length.
int32_t tav_id3_aiff_find_chunk(tav_id3_context *context) {
    context->id3_chunk_missing = 1;
    context->id3_chunk_data_offset = 0;

    // Chunk sizes come from the file and may be hostile. Offsets are kept in
    // 64 bits so that no size wraps them, and the walk also stops at the end
    // of the file: seeking past it would grow a writable file with zeros, and
    // a header read there finds nothing anyway.
    int64_t file_end = tav_id3_seek_content(context, 0, 2);
    if (file_end < 0) return TAV_ERR_SEEK;

    if (!seek_to(context, 4)) return TAV_ERR_SEEK;
    uint8_t form[8];
    if (tav_id3_read_content(context, form, sizeof form) != (int32_t)sizeof form) return TAV_ERR_READ;
    int64_t form_end = (int64_t)tav_be32(form) + 8;
    if (form_end <= 12) return TAV_OK;

    int64_t offset = 12;
    while (offset < form_end && offset < file_end) {
        if (!seek_to(context, offset)) return TAV_ERR_SEEK;
        uint8_t chunk[8];
        int32_t got = tav_id3_read_content(context, chunk, sizeof chunk);
        if (got < 0) return TAV_ERR_READ;
        if (got < (int32_t)sizeof chunk) return TAV_OK;
        if (memcmp(chunk, "ID3 ", 4) == 0) {
            context->id3_chunk_offset = (uint32_t)offset;
            context->id3_chunk_data_offset = (uint32_t)(offset + 8);
            context->id3_chunk_missing = 0;
            return TAV_OK;
        }
        uint32_t size = tav_be32(chunk + 4);
        offset += 8 + (int64_t)size + (size & 1);
    }
    return TAV_OK;
}

// A new empty "ID3 " chunk at the very end of the file. No pad byte is put
// before it even when the file length is odd.
int32_t tav_id3_aiff_append_chunk(tav_id3_context *context) {
    int64_t end = tav_id3_seek_content(context, 0, 2);
    if (end < 0) return TAV_ERR_SEEK;
    static const uint8_t header[8] = {'I', 'D', '3', ' ', 0, 0, 0, 0};
    if (!write_all(context, header, sizeof header)) return TAV_ERR_WRITE;
    context->id3_chunk_offset = (uint32_t)end;
    context->id3_chunk_data_offset = (uint32_t)end + 8;
    return TAV_OK;
}

// The ID3 chunk runs to the end of the file, so its size is end - data offset
// and the FORM size (which excludes the 8-byte FORM header) end - 8.
int32_t tav_id3_aiff_fix_sizes(tav_id3_context *context) {
    int64_t end = tav_id3_seek_content(context, 0, 2);
    if (end < 0) return TAV_ERR_SEEK;
    int32_t result = write_be32_at(context, (int64_t)context->id3_chunk_offset + 4,
                                   (uint32_t)(end - context->id3_chunk_data_offset));
    if (result != TAV_OK) return result;
    return write_be32_at(context, 4, (uint32_t)(end - 8));
}
