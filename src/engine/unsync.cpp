// Unsynchronisation on reading: positioning at a logical offset (counted in
// de-unsynchronised bytes from the first byte of the content) and reads that
// drop the 0x00 byte an encoder inserts after every 0xFF.
#include <cstring>

#include "engine/internal.h"
#include "engine/read_cache.h"

namespace {

// Content operations take 32-bit counts; big requests go in pieces.
const uint32_t kReadPiece = 0x100000;
// Positioning scans the content in pieces of this size.
const uint32_t kScanPiece = 4096;
const uint64_t kMaxSeek = 0x7FFFFFFF;

int32_t seek_to(tav_id3_context *context, uint64_t offset) {
    if (offset > kMaxSeek) return -1;
    return tav_id3_seek_content(context, (int32_t)offset, 0) == (int64_t)offset ? 0 : -1;
}

// A plain seek that never goes past the end of the content. A content seek
// past the end of a file grows it with zero bytes up to the target and lands
// at the old end, where the next read finds nothing. A reader must never
// change the content it reads, so it stays at the end without the zeros: the
// read that follows comes short all the same. A memory image or a read-only
// file refuses such a seek, as the growing seek fails on them.
int32_t seek_plain(tav_id3_context *context, uint32_t offset) {
    int64_t end = tav_id3_seek_content(context, 0, 2);
    if (end < 0) return -1;
    if ((int64_t)offset <= end) return seek_to(context, offset);
    return context->content_type == TAV_CONTENT_FILE && context->mode != 0 ? 0 : -1;
}

// After a run that ended on 0xFF, the byte that follows is the encoder's
// inserted zero when it is 0x00: consume it. Anything else belongs to the next
// read, so step back over it. The end of the content is not a failure.
int32_t consume_stuffed_zero(tav_id3_context *context, uint64_t *consumed) {
    uint8_t next = 0;
    int32_t got = tav_id3_read_content(context, &next, 1);
    if (got < 0) return -1;
    if (got == 0) return 0;
    if (next == 0x00) {
        ++*consumed;
        return 0;
    }
    return tav_id3_seek_content(context, -1, 1) < 0 ? -1 : 0;
}

int32_t read_plain(tav_id3_context *context, uint8_t *out, uint32_t n) {
    uint32_t done = 0;
    while (done < n) {
        uint32_t want = n - done < kReadPiece ? n - done : kReadPiece;
        if (tav_id3_read_content(context, out + done, want) != (int32_t)want) return -1;
        done += want;
    }
    return 0;
}

// Reads straight into the caller's block and compacts each piece in place, so
// no scratch block is needed whatever n is.
int32_t read_deunsync(tav_id3_context *context, uint8_t *out, uint32_t n, uint64_t *consumed) {
    uint32_t delivered = 0;
    bool after_ff = false;
    while (delivered < n) {
        uint32_t want = n - delivered < kReadPiece ? n - delivered : kReadPiece;
        if (tav_id3_read_content(context, out + delivered, want) != (int32_t)want) return -1;
        *consumed += want;
        // Runs up to and including each 0xFF move down as a whole; only the
        // byte after a 0xFF needs a look of its own.
        uint8_t *piece = out + delivered;
        uint32_t w = delivered;
        for (uint32_t i = 0; i < want;) {
            if (after_ff) {
                after_ff = false;
                if (piece[i] == 0x00) {
                    ++i;
                    continue;
                }
            }
            const uint8_t *ff = static_cast<const uint8_t *>(memchr(piece + i, 0xFF, want - i));
            uint32_t run = ff ? (uint32_t)(ff - (piece + i)) + 1 : want - i;
            if (out + w != piece + i) memmove(out + w, piece + i, run);
            w += run;
            i += run;
            after_ff = ff != nullptr;
        }
        delivered = w;
    }
    return after_ff ? consume_stuffed_zero(context, consumed) : 0;
}

} // namespace

// Positioning at increasing offsets (a frame list being loaded, frames being
// copied) would scan the content from its first byte each time; the cache
// keeps the last point reached, and a later positioning at or beyond it
// resumes there, which lands exactly where a count from the start would.
int32_t tav_id3_v2_seek_logical(tav_id3_context *context, uint32_t logical_offset, int32_t unsync) {
    if (!context) return -1;
    if (!unsync) return seek_plain(context, logical_offset);
    tav_id3_read_cache *cache = tav_id3_cache_parsed(context);
    if (!cache) return tav_id3_v2_seek_logical_from(context, 0, 0, logical_offset);
    uint32_t generation = cache->generation;
    bool resume = cache->mark_known && cache->mark_logical <= logical_offset;
    int32_t rc = tav_id3_v2_seek_logical_from(context, resume ? cache->mark_logical : 0, resume ? cache->mark_raw : 0,
                                              logical_offset);
    if (rc == 0 && cache->generation == generation && cache->parsed) {
        cache->mark_known = 1;
        cache->mark_logical = logical_offset;
        cache->mark_raw = (uint32_t)tav_id3_cache_tell(context);
    }
    return rc;
}

// Counts bytes from a known point, leaving out each zero that follows a 0xFF,
// until the logical offset has been reached. A point that positioning itself
// produced never sits between a 0xFF and its inserted zero, so the count can
// resume there exactly as if it had run from the start.
int32_t tav_id3_v2_seek_logical_from(tav_id3_context *context, uint32_t from_logical, uint32_t from_raw,
                                     uint32_t logical_offset) {
    if (!context || logical_offset < from_logical) return -1;
    if (seek_to(context, from_raw) != 0) return -1;

    uint8_t piece[kScanPiece];
    uint64_t raw = from_raw;
    uint32_t counted = from_logical;
    bool after_ff = false;
    while (counted < logical_offset) {
        int32_t got = tav_id3_read_content(context, piece, kScanPiece);
        if (got <= 0) return -1;
        // Every byte counts but a 0x00 right after a 0xFF: count whole runs up
        // to and including the next 0xFF, and look at the byte after it alone.
        int32_t i = 0;
        while (i < got && counted < logical_offset) {
            if (after_ff) {
                after_ff = false;
                if (piece[i] == 0x00) {
                    ++i;
                    ++raw;
                    continue;
                }
            }
            uint32_t span = (uint32_t)(got - i);
            if (span > logical_offset - counted) span = logical_offset - counted;
            const uint8_t *ff = static_cast<const uint8_t *>(memchr(piece + i, 0xFF, span));
            uint32_t run = ff ? (uint32_t)(ff - (piece + i)) + 1 : span;
            counted += run;
            raw += run;
            i += (int32_t)run;
            after_ff = ff != nullptr;
        }
        if (counted < logical_offset) continue;
        if (after_ff) {
            if (i < got) {
                if (piece[i] == 0x00) ++raw;
            } else if (seek_to(context, raw) != 0 || consume_stuffed_zero(context, &raw) != 0) {
                return -1;
            }
        }
    }
    return seek_to(context, raw);
}

int32_t tav_id3_v2_read_unsync(tav_id3_context *context, uint8_t *out, uint32_t n, int32_t unsync,
                               uint32_t *consumed) {
    if (consumed) *consumed = 0;
    if (!context || (!out && n > 0)) return -1;
    uint64_t used = n;
    if (unsync) {
        used = 0;
        if (read_deunsync(context, out, n, &used) != 0) return -1;
    } else if (read_plain(context, out, n) != 0) {
        return -1;
    }
    if (consumed) *consumed = used > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)used;
    return 0;
}
