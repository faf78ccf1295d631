// ID3v2 header location and parsing. A tag is looked for forward from the
// start of the content (or of an AIFF file's "ID3 " chunk data), skipping
// junk byte by byte until "ID3" or the first MPEG frame sync, and failing
// that backward from the end through a "3DI" footer.
#include <cstdint>
#include <cstring>

#include "engine/internal.h"
#include "engine/read_cache.h"

namespace {

const char kGetHeader[] = "tav_id3_v2_get_header";
const char kGetHeader2[] = "tav_id3_v2_get_header2";
const char kFromHeader[] = "tav_id3_v2_read_header_from_header";
const char kFromFooter[] = "tav_id3_v2_read_header_from_footer";
const char kFromEnd[] = "tav_id3_v2_find_header_from_file_end";

// Two bytes that open an MPEG audio frame: eleven set sync bits. Once audio
// has begun, no tag precedes it.
bool is_mpeg_sync(const uint8_t *b) { return b[0] == 0xFF && (b[1] & 0xE0) == 0xE0; }

bool seek_to(tav_id3_context *context, int64_t position) {
    if (position < 0 || position > INT32_MAX) return false;
    return tav_id3_seek_content(context, (int32_t)position, 0) >= 0;
}

// Seeks to position and reads 10 bytes: 0, or 4 (seek) or 2 (read, short).
int32_t read10(tav_id3_context *context, int64_t position, uint8_t *bytes) {
    if (!seek_to(context, position)) return TAV_ERR_SEEK;
    if (tav_id3_read_content(context, bytes, 10) != 10) return TAV_ERR_READ;
    return TAV_OK;
}

int32_t tav_id3_v2_read_header_from_header(tav_id3_context *context, int64_t position, uint8_t *bytes) {
    int32_t result = read10(context, position, bytes);
    if (result != TAV_OK) return result;
    if (memcmp(bytes, "ID3", 3) != 0) {
        tav_log_error("in %s() ID3v2 is not found.", kFromHeader);
        return TAV_ERR_NOT_FOUND;
    }
    return TAV_OK;
}

// Reads a footer candidate at position and, when it is one, the header it
// points back to. On success the header bytes replace the candidate's in
// bytes; otherwise bytes keep what was read at the candidate. The content is
// left at the candidate position either way.
int32_t tav_id3_v2_read_header_from_footer(tav_id3_context *context, int64_t position, uint8_t *bytes) {
    int32_t result = read10(context, position, bytes);
    if (result != TAV_OK) return result;
    if (memcmp(bytes, "3DI", 3) != 0) {
        tav_log_error("in %s() ID3v2 is not found.", kFromFooter);
        return TAV_ERR_NOT_FOUND;
    }
    int64_t header_position = position - (int64_t)tav_syncsafe_decode(bytes + 6) - 10;
    if (!seek_to(context, header_position)) return TAV_ERR_NOT_FOUND;
    uint8_t header[10] = {0};
    if (tav_id3_read_content(context, header, 10) != 10) return TAV_ERR_READ;
    bool found = memcmp(header, "ID3", 3) == 0;
    if (!seek_to(context, position)) return TAV_ERR_SEEK;
    if (!found) return TAV_ERR_NOT_FOUND;
    memcpy(bytes, header, 10);
    return TAV_OK;
}

// Walks back from the last 10 bytes of the content, one byte at a time, until
// a footer leads to a header of a known version. Every step moves the
// candidate back, so the walk ends at the start of the content at the latest.
int32_t tav_id3_v2_find_header_from_file_end(tav_id3_context *context, uint8_t *bytes, int64_t *position) {
    int64_t size = tav_id3_seek_content(context, 0, 2);
    if (size < 0) return TAV_ERR_NOT_FOUND;
    int64_t candidate = size - 10;
    while (candidate >= 0) {
        memset(bytes, 0, 10);
        int32_t result = tav_id3_v2_read_header_from_footer(context, candidate, bytes);
        if (result == TAV_OK) {
            int64_t header_position = candidate - 10 - (int64_t)tav_syncsafe_decode(bytes + 6);
            result = read10(context, header_position, bytes);
            if (result != TAV_OK) return result;
            if (memcmp(bytes, "ID3", 3) != 0) {
                tav_log_error("in %s() ID3v2 is not found.", kFromEnd);
                return TAV_ERR_NOT_FOUND;
            }
            if (tav_id3_v2_version_code(bytes[3], bytes[4]) != TAV_ID3_VNONE) {
                *position = header_position;
                return TAV_OK;
            }
            candidate = header_position - 10 - (int64_t)tav_syncsafe_decode(bytes + 6);
            continue;
        }
        if (result == TAV_ERR_READ || result == TAV_ERR_SEEK) return TAV_ERR_NOT_FOUND;
        if (is_mpeg_sync(bytes)) return TAV_ERR_NOT_FOUND;
        candidate -= 1;
    }
    // A candidate before the start of the content cannot be sought.
    return TAV_ERR_NOT_FOUND;
}

// Outcome of the forward search.
enum class Forward { found, past_end, none };

// Scans from the tag's home position. A tag of an unrecognised version is
// skipped whole (the position always grows by at least 10); when such a skip
// runs past the end, its header bytes are left in bytes.
Forward search_from_start(tav_id3_context *context, uint8_t *bytes, int64_t *position) {
    int64_t size = tav_id3_seek_content(context, 0, 2);
    if (size < 0) return Forward::none;
    int64_t at = context->is_aiff ? context->id3_chunk_data_offset : 0;
    seek_to(context, at);
    while (at <= size) {
        memset(bytes, 0, 10);
        int32_t result = tav_id3_v2_read_header_from_header(context, at, bytes);
        if (result == TAV_OK) {
            if (tav_id3_v2_version_code(bytes[3], bytes[4]) != TAV_ID3_VNONE) {
                *position = at;
                return Forward::found;
            }
            at += (int64_t)tav_syncsafe_decode(bytes + 6) + 10;
            continue;
        }
        if (result == TAV_ERR_READ || result == TAV_ERR_SEEK) return Forward::none;
        if (is_mpeg_sync(bytes)) return Forward::none;
        at += 1;
    }
    return Forward::past_end;
}

} // namespace

int32_t tav_id3_v2_version_code(uint8_t major, uint8_t revision) {
    if (major == 2 && revision == 0) return TAV_ID3_V22;
    if (major == 3 && revision == 0) return TAV_ID3_V23;
    if ((major == 4 && revision == 0) || (major == 3 && revision == 1)) return TAV_ID3_V24;
    return TAV_ID3_VNONE;
}

// Flags by version: 0x80 unsynchronisation everywhere; 0x40 compression in
// 2.2 but extended header later; 0x20 experimental and 0x10 footer (2.4 only).
// An unrecognised version has no flags the engine understands.
void tav_id3_v2_fill_header(const uint8_t bytes[10], int32_t position, tav_id3_v2_header *header) {
    int32_t version = tav_id3_v2_version_code(bytes[3], bytes[4]);
    uint8_t flags = version == TAV_ID3_VNONE ? 0 : bytes[5];
    header->version = version;
    header->position = position;
    header->size = (int32_t)tav_syncsafe_decode(bytes + 6);
    header->unsynchronisation = (flags & 0x80) ? 1 : 0;
    header->compression = version == TAV_ID3_V22 && (flags & 0x40) ? 1 : 0;
    header->extended_header = version != TAV_ID3_V22 && (flags & 0x40) ? 1 : 0;
    header->experimental = version != TAV_ID3_V22 && (flags & 0x20) ? 1 : 0;
    header->footer = version == TAV_ID3_V24 && (flags & 0x10) ? 1 : 0;
}

namespace {

// The search and the record it yields, or the search's failure code.
int32_t locate_header(tav_id3_context *context, tav_id3_v2_header *header) {
    uint8_t bytes[10] = {0};
    int64_t position = 0;
    bool from_end = false;
    switch (search_from_start(context, bytes, &position)) {
    case Forward::found: break;
    case Forward::past_end: position = 0; break;
    case Forward::none: {
        int32_t result = tav_id3_v2_find_header_from_file_end(context, bytes, &position);
        if (result != TAV_OK) return result;
        from_end = true;
        break;
    }
    }

    tav_id3_v2_fill_header(bytes, (int32_t)position, header);
    // A 2.4 tag reached through its footer has one, whatever its flags say.
    if (header->version == TAV_ID3_V24 && header->footer == 0 && from_end) header->footer = 1;
    return TAV_OK;
}

// The search's outcome depends on the content alone, so it is run once per
// content state; a later call only puts the content where the search left it.
int32_t cached_header(tav_id3_context *context, tav_id3_read_cache *cache, tav_id3_v2_header *header) {
    if (!cache->header_known) {
        uint32_t generation = cache->generation;
        tav_id3_v2_header found;
        memset(&found, 0, sizeof found);
        int32_t result = locate_header(context, &found);
        // Reading never changes the content; should it have, nothing is kept.
        if (cache->generation != generation || !cache->parsed) {
            if (result == TAV_OK) *header = found;
            return result;
        }
        cache->header = found;
        cache->header_result = result;
        cache->header_end = tav_id3_cache_tell(context);
        cache->header_known = 1;
    }
    tav_id3_cache_move(context, cache->header_end);
    if (cache->header_result == TAV_OK) *header = cache->header;
    return cache->header_result;
}

} // namespace

int32_t tav_id3_v2_get_header(tav_id3_context *context, tav_id3_v2_header *header) {
    tav_trace("tav_id3_v2_get_header() enter");
    if (!context || !header) {
        tav_log_error("in %s() parameter is invalid.", kGetHeader);
        return TAV_ERR_PARAM;
    }
    memset(header, 0, sizeof *header);
    tav_id3_read_cache *cache = tav_id3_cache_parsed(context);
    int32_t result = cache ? cached_header(context, cache, header) : locate_header(context, header);
    if (result != TAV_OK) return result;
    tav_trace("tav_id3_v2_get_header() exit");
    return TAV_OK;
}

int32_t tav_id3_v2_get_header2(tav_id3_context *context, tav_id3_v2_header *header) {
    if (!context || !header) {
        tav_log_error("in %s() parameter is invalid.", kGetHeader2);
        return TAV_ERR_PARAM;
    }
    if (tav_id3_v2_get_header(context, header) != TAV_OK) {
        // No usable tag: describe an empty ID3v2.3 tag at the start.
        memset(header, 0, sizeof *header);
        header->version = TAV_ID3_V23;
    }
    return TAV_OK;
}
