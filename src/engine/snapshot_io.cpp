// Content I/O of a file through its snapshot: seeks move a position of the
// engine's own, reads come from windows of the file loaded with one large
// positional read each (block-aligned, so that forward and backward scans
// both find their bytes already there), and writes go to the file at that
// position and into the windows they overlap. The descriptor's pointer is only
// brought to the engine's position when something else needs it: a write, a
// seek that grows the file, or the cache being switched off.
#include <cstring>

#include "engine/internal.h"
#include "engine/read_cache.h"
#include "platform/cache_io.h"

namespace {

const char kSeek[] = "tav_id3_seek_content";
const char kRead[] = "tav_id3_read_content";
const char kWrite[] = "tav_id3_write_content";

bool is_descriptor(int32_t handle) { return handle != 0 && handle != -1; }

void clear_windows(tav_id3_read_cache *cache) {
    for (tav_id3_cache_window &window : cache->windows) window.length = 0;
}

bool load_snapshot(tav_id3_context *context, tav_id3_read_cache *cache) {
    int64_t size = tav_file_size_of(context->handle);
    if (size < 0) return false;
    int64_t at = tav_file_tell(context->handle);
    if (at < 0) return false;
    tav_id3_cache_drop_parsed(cache);
    clear_windows(cache);
    cache->snapshot = 1;
    cache->handle = context->handle;
    cache->size = size;
    cache->position = at;
    cache->fd_position = at;
    return true;
}

tav_id3_cache_window *window_holding(tav_id3_read_cache *cache, int64_t from, uint32_t count) {
    for (tav_id3_cache_window &window : cache->windows)
        if (window.length && window.start <= from && from + count <= window.start + window.length) return &window;
    return nullptr;
}

// Where the tag that the header search found ends (its footer included), or
// 0 before the search has run or when it found none.
int64_t tag_end(const tav_id3_read_cache *cache) {
    if (!cache->parsed || !cache->header_known || cache->header_result != TAV_OK) return 0;
    const tav_id3_v2_header &h = cache->header;
    return (int64_t)(uint32_t)h.position + 10 + (uint32_t)h.size + (h.footer ? 10 : 0);
}

// Loads the blocks that hold [from, from + count) into a free or the oldest
// window; inside the tag, the window runs on to the tag's end, so that a tag
// of any size and any number of frames is read with one more read at most.
// Null when memory or the read fails.
tav_id3_cache_window *load_window(tav_id3_context *context, tav_id3_read_cache *cache, int64_t from,
                                  uint32_t count) {
    const int64_t block = TAV_CACHE_BLOCK;
    int64_t start = from / block * block;
    int64_t end = (from + count + block - 1) / block * block;
    int64_t tag = tag_end(cache);
    if (from < tag && tag > end && tag - start <= TAV_CACHE_TAG_WINDOW) end = tag;
    if (end > cache->size) end = cache->size;
    uint32_t length = (uint32_t)(end - start);

    tav_id3_cache_window *window = nullptr;
    for (tav_id3_cache_window &w : cache->windows)
        if (!w.length) {
            window = &w;
            break;
        }
    if (!window) {
        window = &cache->windows[cache->next_window];
        cache->next_window = (cache->next_window + 1) % TAV_CACHE_WINDOWS;
    }
    window->length = 0;
    if (window->capacity < length) {
        uint8_t *bytes = static_cast<uint8_t *>(tav_rud_malloc(length));
        if (!bytes) return nullptr;
        tav_rud_free(window->bytes);
        window->bytes = bytes;
        window->capacity = length;
    }
    int32_t got = tav_pread(context->handle, window->bytes, length, start);
    if (got < 0) return nullptr;
    window->start = start;
    window->length = (uint32_t)got;
    return window;
}

// Copies bytes just written at position into the windows that cover them.
void write_through(tav_id3_read_cache *cache, int64_t position, const uint8_t *bytes, uint32_t count) {
    for (tav_id3_cache_window &window : cache->windows) {
        if (!window.length) continue;
        int64_t from = position > window.start ? position : window.start;
        int64_t to = position + count < window.start + window.length ? position + count : window.start + window.length;
        if (from < to) memcpy(window.bytes + (from - window.start), bytes + (from - position), (size_t)(to - from));
    }
}

bool sync_descriptor(tav_id3_read_cache *cache) {
    if (cache->fd_position == cache->position) return true;
    if (tav_file_set_position(cache->handle, cache->position) != 0) return false;
    cache->fd_position = cache->position;
    return true;
}

} // namespace

tav_id3_read_cache *tav_id3_cache_for_io(tav_id3_context *context) {
    if (!context || context->content_type != TAV_CONTENT_FILE) return nullptr;
    tav_id3_read_cache *cache = context->cache;
    // A snapshot of another descriptor is stale: its file was closed.
    if (cache && cache->snapshot && cache->handle != context->handle) tav_id3_cache_forget(context);
    if (!tav_id3_cache_allowed(context)) {
        tav_id3_cache_release(context);
        return nullptr;
    }
    cache = tav_id3_cache_record(context);
    if (!cache) return nullptr;
    if (!cache->snapshot && !load_snapshot(context, cache)) return nullptr;
    return cache;
}

const uint8_t *tav_id3_cache_peek(const tav_id3_context *context, int64_t from, uint32_t count) {
    tav_id3_read_cache *cache = context ? context->cache : nullptr;
    if (!cache || !cache->snapshot || cache->handle != context->handle) return nullptr;
    const tav_id3_cache_window *window = window_holding(cache, from, count);
    return window ? window->bytes + (from - window->start) : nullptr;
}

int64_t tav_id3_cache_forget(tav_id3_context *context) {
    tav_id3_read_cache *cache = context ? context->cache : nullptr;
    if (!cache || !cache->snapshot) return -1;
    cache->snapshot = 0;
    clear_windows(cache);
    tav_id3_cache_drop_parsed(cache);
    return cache->position;
}

void tav_id3_cache_release(tav_id3_context *context) {
    tav_id3_read_cache *cache = context ? context->cache : nullptr;
    if (!cache || !cache->snapshot) return;
    if (is_descriptor(cache->handle)) sync_descriptor(cache);
    tav_id3_cache_forget(context);
}

// As a seek on the descriptor: the target is clamped to the end of the file.
// A seek that must grow the file (a target past its end) is left to the
// descriptor itself: TAV_CACHE_PASS.
int64_t tav_id3_cache_seek(tav_id3_read_cache *cache, int32_t offset, int32_t origin) {
    int64_t base;
    switch (origin) {
    case 0: base = 0; break;
    case 1: base = cache->position; break;
    case 2: base = cache->size; break;
    default: base = -1; offset = 0; break;
    }
    int64_t target = base + offset;
    if (target < 0) {
        tav_log_error("in %s() tav_lseek() failed.", kSeek);
        return -1;
    }
    int64_t reached = target < cache->size ? target : cache->size;
    if (reached < offset) return TAV_CACHE_PASS;
    cache->position = reached;
    return reached;
}

int32_t tav_id3_cache_read(tav_id3_context *context, tav_id3_read_cache *cache, void *buffer, uint32_t count) {
    if (!buffer) {
        tav_log_error("in %s() TAV_RUD_READ() failed.", kRead);
        return -1;
    }
    int64_t left = cache->size - cache->position;
    if (left <= 0 || count == 0) return 0;
    uint32_t n = count < left ? count : (uint32_t)left;
    if (n > INT32_MAX) n = INT32_MAX;

    tav_id3_cache_window *window = window_holding(cache, cache->position, n);
    if (!window && (n < TAV_CACHE_BLOCK || cache->position < tag_end(cache)))
        window = load_window(context, cache, cache->position, n);
    if (window) {
        int64_t available = window->start + window->length - cache->position;
        if (available < 0) available = 0;
        if (n > available) n = (uint32_t)available;
        memcpy(buffer, window->bytes + (cache->position - window->start), n);
        cache->position += n;
        return (int32_t)n;
    }
    // Large reads outside the tag (the audio a rewrite copies) go straight to
    // the caller's block.
    int32_t got = tav_pread(context->handle, buffer, n, cache->position);
    if (got < 0) {
        tav_log_error("in %s() TAV_RUD_READ() failed.", kRead);
        return -1;
    }
    cache->position += got;
    return got;
}

int32_t tav_id3_cache_write(tav_id3_context *context, tav_id3_read_cache *cache, const void *buffer,
                            uint32_t count) {
    tav_id3_cache_drop_parsed(cache);
    if (!sync_descriptor(cache)) return TAV_CACHE_PASS;
    int32_t written = tav_write(context->handle, buffer, count);
    if (written < 0) {
        tav_log_error("in %s() TAV_RUD_WRITE() failed.", kWrite);
        return -1;
    }
    write_through(cache, cache->position, static_cast<const uint8_t *>(buffer), (uint32_t)written);
    cache->position += written;
    cache->fd_position = cache->position;
    if (cache->position > cache->size) cache->size = cache->position;
    return written;
}
