// Copy of a content's whole raw ID3v2 tag (10-byte header plus body, padding
// and extended header included, footer excluded), bytes as stored.
#include <cstdint>

#include "engine/internal.h"

int32_t tav_id3_get_id3tag(tav_id3_context *context, uint8_t **buffer, uint32_t *size) {
    if (!context || !size) {
        tav_log_error("in %s() parameter is invalid.", "tav_id3_get_id3tag");
        return TAV_ERR_PARAM;
    }
    tav_id3_v2_header header;
    int32_t result = tav_id3_v2_get_header(context, &header);
    if (result != TAV_OK) return result;

    *size = (uint32_t)header.size + 10;
    if (!buffer) return TAV_OK;
    if (!*buffer) return TAV_ERR_PARAM;

    // The caller's buffer comes from the engine heap; a failed copy releases it.
    result = TAV_OK;
    int32_t got = -1;
    if (tav_id3_seek_content(context, header.position, 0) < 0) result = TAV_ERR_SEEK;
    else if ((got = tav_id3_read_content(context, *buffer, *size)) < 0) result = TAV_ERR_READ;
    if (result != TAV_OK) {
        tav_rud_free(*buffer);
        *buffer = nullptr;
        return result;
    }
    *size = (uint32_t)got;
    return TAV_OK;
}
