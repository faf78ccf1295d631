// The read cache's record: when it may be used, its creation and release, and
// the validity of the parsed results. They are tied to the content as it is
// now: a change of the transaction state (a rewrite happens only inside an
// edit) or of a memory image's block or length drops them, as does every
// write (tav_id3_cache_content_changed).
#include <cstring>

#include "engine/read_cache.h"
#include "platform/faults.h"

namespace {

thread_local bool g_enabled = true;

bool is_descriptor(int32_t handle) { return handle != 0 && handle != -1; }

void set_key(tav_id3_read_cache *cache, const tav_id3_context *context) {
    cache->key_state = context->transaction_state;
    cache->key_buffer = context->memory ? context->memory->buffer : nullptr;
    cache->key_length = context->memory ? context->memory->data_length : 0;
    cache->key_aiff = context->is_aiff;
    cache->key_chunk = context->id3_chunk_data_offset;
}

bool key_matches(const tav_id3_read_cache *cache, const tav_id3_context *context) {
    return cache->key_state == context->transaction_state &&
           cache->key_buffer == (context->memory ? context->memory->buffer : nullptr) &&
           cache->key_length == (context->memory ? context->memory->data_length : 0) &&
           cache->key_aiff == context->is_aiff && cache->key_chunk == context->id3_chunk_data_offset;
}

} // namespace

void tav_id3_set_read_cache(int32_t enabled) { g_enabled = enabled != 0; }

// Off when the test switch says so, and while a fault hook is armed: the hook
// counts and fails primitive calls, which the cache would otherwise leave out.
bool tav_id3_cache_allowed(const tav_id3_context *context) {
    if (!g_enabled || tav_fault_armed() || !context) return false;
    if (context->content_type == TAV_CONTENT_FILE) return is_descriptor(context->handle);
    if (context->content_type == TAV_CONTENT_MEMORY)
        return context->handle == -1 && context->memory && context->memory->buffer;
    return false;
}

tav_id3_read_cache *tav_id3_cache_record(tav_id3_context *context) {
    if (!context->cache) context->cache = static_cast<tav_id3_read_cache *>(tav_rud_calloc(sizeof(tav_id3_read_cache)));
    return context->cache;
}

void tav_id3_cache_drop_parsed(tav_id3_read_cache *cache) {
    cache->parsed = 0;
    cache->generation++;
    cache->header_known = 0;
    cache->index_known = 0;
    cache->frame_count = 0;
    cache->mark_known = 0;
}

tav_id3_read_cache *tav_id3_cache_parsed(tav_id3_context *context) {
    tav_id3_read_cache *cache;
    if (context && context->content_type == TAV_CONTENT_FILE) {
        // Loads the snapshot, or hands the position back when caching is off.
        cache = tav_id3_cache_for_io(context);
    } else {
        cache = tav_id3_cache_allowed(context) ? tav_id3_cache_record(context) : nullptr;
    }
    if (!cache) return nullptr;
    if (!cache->parsed || !key_matches(cache, context)) {
        tav_id3_cache_drop_parsed(cache);
        set_key(cache, context);
        cache->parsed = 1;
    }
    return cache;
}

int64_t tav_id3_cache_tell(tav_id3_context *context) {
    if (context->content_type == TAV_CONTENT_MEMORY) return context->memory->position;
    return context->cache->position;
}

void tav_id3_cache_move(tav_id3_context *context, int64_t position) {
    if (context->content_type == TAV_CONTENT_MEMORY)
        context->memory->position = (uint32_t)position;
    else
        context->cache->position = position;
}

void tav_id3_cache_content_changed(tav_id3_context *context) {
    if (context && context->cache) tav_id3_cache_drop_parsed(context->cache);
}

void tav_id3_cache_free(tav_id3_context *context) {
    tav_id3_read_cache *cache = context->cache;
    if (!cache) return;
    for (tav_id3_cache_window &window : cache->windows) tav_rud_free(window.bytes);
    tav_rud_free(cache->frames);
    tav_rud_free(cache);
    context->cache = nullptr;
}
