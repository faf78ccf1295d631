// The five content operations (open, seek, read, write, close) through which
// every engine function reaches the bytes of its content, be it a file on disk
// or a memory image. They return counts and positions, -1 on failure.
#include <cstdint>

#include "engine/internal.h"
#include "engine/read_cache.h"
#include "platform/cache_io.h"

namespace {

const char kOpen[] = "tav_id3_open_content";
const char kSeek[] = "tav_id3_seek_content";
const char kRead[] = "tav_id3_read_content";
const char kWrite[] = "tav_id3_write_content";
const char kClose[] = "tav_id3_close_content";

// Appends count zero bytes at the file pointer in 256-byte pieces.
int32_t extend_with_zeros(int32_t handle, int64_t count) {
    static const uint8_t zeros[256] = {0};
    while (count > 0) {
        uint32_t piece = count < 256 ? (uint32_t)count : 256u;
        // A short piece is treated like a failed one: the file did not grow
        // to the length the caller asked for.
        if (tav_write(handle, zeros, piece) != (int32_t)piece) return -1;
        count -= piece;
    }
    return 0;
}

int64_t seek_file(tav_id3_context *context, int32_t offset, int32_t origin) {
    int64_t reached = tav_lseek(context->handle, offset, origin);
    if (reached < 0) {
        tav_log_error("in %s() tav_lseek() failed.", kSeek);
        return -1;
    }
    // The platform seek stops at the end of the file; a seek from the start
    // past the end grows the file with zeros so that the caller lands where
    // it asked. The result stays the position the platform reached.
    if (reached < offset && extend_with_zeros(context->handle, offset - reached) != 0) return -1;
    return reached;
}

int64_t seek_memory(tav_id3_context *context, int32_t offset, int32_t origin) {
    tav_id3_memory_content *memory = context->memory;
    if (!memory || !memory->buffer) return -1;
    int64_t target;
    switch (origin) {
    case 0: target = offset; break;
    case 1: target = (int64_t)memory->position + offset; break;
    case 2: target = (int64_t)memory->data_length + offset; break;
    default: return -1;
    }
    if (target < 0 || target > (int64_t)memory->data_length) return -1;
    memory->position = (uint32_t)target;
    return target;
}

} // namespace

int32_t tav_id3_open_content(tav_id3_context *context, int32_t mode, int32_t *handle) {
    if (!context || context->content_type != TAV_CONTENT_FILE) return -1;
    int32_t flags;
    switch (mode) {
    case 0: flags = TAV_O_RDONLY; break;
    case 1: flags = TAV_O_RDWR | TAV_O_CREAT | TAV_O_EXCL; break;
    case 2: flags = TAV_O_RDWR; break;
    default:
        tav_log_error("in %s() mode is invalid.", kOpen);
        return -1;
    }
    int32_t result = tav_open(context->path, flags, handle);
    if (result < 0) tav_log_error("in %s() tav_open() failed.", kOpen);
    return result;
}

int64_t tav_id3_seek_content(tav_id3_context *context, int32_t offset, int32_t origin) {
    if (!context) return -1;
    if (context->content_type == TAV_CONTENT_FILE) {
        if (tav_id3_read_cache *cache = tav_id3_cache_for_io(context)) {
            int64_t reached = tav_id3_cache_seek(cache, offset, origin);
            if (reached != TAV_CACHE_PASS) return reached;
            tav_id3_cache_release(context);
        }
        return seek_file(context, offset, origin);
    }
    if (context->content_type == TAV_CONTENT_MEMORY) return seek_memory(context, offset, origin);
    return -1;
}

int32_t tav_id3_read_content(tav_id3_context *context, void *buffer, uint32_t count) {
    int32_t result = -1;
    if (context && (context->content_type == TAV_CONTENT_FILE || context->content_type == TAV_CONTENT_MEMORY)) {
        if (tav_id3_read_cache *cache = tav_id3_cache_for_io(context)) return tav_id3_cache_read(context, cache, buffer, count);
        if (context->handle != -1) {
            result = tav_read(context->handle, buffer, count);
        } else if (tav_id3_memory_content *memory = context->memory) {
            result = tav_read_from_memory(memory->buffer, memory->data_length, &memory->position, buffer, count);
        }
    }
    if (result < 0) {
        tav_log_error("in %s() TAV_RUD_READ() failed.", kRead);
        return -1;
    }
    return result;
}

int32_t tav_id3_write_content(tav_id3_context *context, const void *buffer, uint32_t count) {
    if (!context) return -1;
    if (context->content_type == TAV_CONTENT_FILE) {
        if (tav_id3_read_cache *cache = tav_id3_cache_for_io(context)) {
            int32_t written = tav_id3_cache_write(context, cache, buffer, count);
            if (written != TAV_CACHE_PASS) return written;
            tav_id3_cache_release(context);
        }
        tav_id3_cache_content_changed(context);
        int32_t written = tav_write(context->handle, buffer, count);
        if (written < 0) tav_log_error("in %s() TAV_RUD_WRITE() failed.", kWrite);
        return written < 0 ? -1 : written;
    }
    if (context->content_type == TAV_CONTENT_MEMORY) {
        tav_id3_cache_content_changed(context);
        tav_id3_memory_content *memory = context->memory;
        int32_t written = memory ? tav_write_to_memory(&memory->buffer, &memory->capacity, &memory->position,
                                                       buffer, count)
                                 : -1;
        if (written < 0) tav_log_error("in %s() tav_write_to_memory() failed.", kWrite);
        return written < 0 ? -1 : written;
    }
    return -1;
}

int32_t tav_id3_close_content(tav_id3_context *context) {
    if (!context) return -1;
    if (context->content_type == TAV_CONTENT_MEMORY) return 0;
    if (context->content_type != TAV_CONTENT_FILE) return -1;
    // The snapshot dies with the descriptor; only a descriptor that survives a
    // failed close needs its pointer put where the engine was.
    int64_t position = tav_id3_cache_forget(context);
    if (tav_close(&context->handle) != 0) {
        if (position >= 0 && context->handle != -1) tav_file_set_position(context->handle, position);
        tav_log_error("in %s() tav_close() failed.", kClose);
        return -1;
    }
    return 0;
}
