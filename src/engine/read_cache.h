// The read cache of a content: what the engine learnt from the content since
// it last changed, so that repeated reads cost neither system calls nor walks.
// Two parts, both owned by the context through tav_id3_context::cache:
//  - for a file, a snapshot of the bytes read so far (a few windows loaded with
//    one large positional read each), the content's length, and the position
//    the engine works at, which the descriptor's own pointer follows lazily;
//  - for any content, the parsed results: the outcome of the header search,
//    the frame index (every frame the walk visits, with where it left the
//    content) and a resume point for unsynchronised positioning.
// Everything is derived by running the same search, walk and positioning code
// over the content, so results, failures and final positions are those of a
// fresh computation. Any change of the content drops what depends on it.
#ifndef TAGMILL_ENGINE_READ_CACHE_H
#define TAGMILL_ENGINE_READ_CACHE_H

#include <cstdint>

#include "tagmill/engine.h"

enum : uint32_t {
    TAV_CACHE_WINDOWS = 4,
    TAV_CACHE_BLOCK = 64 * 1024, // windows start and end on these boundaries
    TAV_CACHE_TAG_WINDOW = 16 * 1024 * 1024, // largest window that holds a whole tag
};

// A run of the file's bytes as they were read.
struct tav_id3_cache_window {
    int64_t start;
    uint32_t length;
    uint32_t capacity;
    uint8_t *bytes;
};

// One frame as the walk visited it.
struct tav_id3_cached_frame {
    tav_id3_v2_frame_header frame;
    uint32_t position; // logical offset of the frame header
    uint32_t length;   // header + size, as the walk reports it
    int64_t after;     // content position after the header and its extra bytes
};

struct tav_id3_read_cache {
    // Snapshot of a file content; valid while snapshot is 1.
    int32_t snapshot;
    int32_t handle;      // the descriptor the snapshot belongs to
    int64_t size;        // the file's length
    int64_t position;    // the content position the engine sees
    int64_t fd_position; // where the descriptor's pointer actually is
    tav_id3_cache_window windows[TAV_CACHE_WINDOWS];
    uint32_t next_window;

    // Parsed results; valid while parsed is 1 and the key still matches.
    int32_t parsed;
    uint32_t generation; // bumped whenever the parsed results are dropped
    uint32_t key_state;
    const uint8_t *key_buffer;
    uint32_t key_length;
    int32_t key_aiff;
    uint32_t key_chunk;

    int32_t header_known;
    int32_t header_result;
    tav_id3_v2_header header;
    int64_t header_end; // where the search left the content

    int32_t index_known; // 0 not yet, 1 built, -1 could not be built
    int32_t walk_result;
    int32_t walk_moves;  // whether the walk touches the content position at all
    int64_t walk_end;
    tav_id3_cached_frame *frames;
    uint32_t frame_count;
    uint32_t frame_capacity;

    int32_t mark_known; // a logical offset reached from the start, and where
    uint32_t mark_logical;
    uint32_t mark_raw;
};

// Test switch for the calling thread: 0 makes every read take the plain road
// (the header search and frame walk on every call, one content operation per
// step), 1 (the default) allows the cache.
void tav_id3_set_read_cache(int32_t enabled);

// The cache with valid parsed results for the content as it is now (its
// snapshot loaded for a file), or null when caching is off for this call: the
// caller then computes as if there were no cache.
tav_id3_read_cache *tav_id3_cache_parsed(tav_id3_context *context);

// The position of the content, and moving it without a system call. Only for
// a context for which tav_id3_cache_parsed gave a cache.
int64_t tav_id3_cache_tell(tav_id3_context *context);
void tav_id3_cache_move(tav_id3_context *context, int64_t position);

// The content changed: forget the parsed results (the snapshot stays when the
// change went through it).
void tav_id3_cache_content_changed(tav_id3_context *context);

// Frees everything; the context no longer has a cache. The descriptor is not
// touched.
void tav_id3_cache_free(tav_id3_context *context);

// Snapshot I/O for a file content (snapshot_io.cpp). tav_id3_cache_for_io
// gives the cache with its snapshot loaded when the content operations may use
// it, else null, after handing the position back to the descriptor.
// The seek and the write answer TAV_CACHE_PASS when the operation must run on
// the descriptor instead: the caller releases the snapshot and does so.
tav_id3_read_cache *tav_id3_cache_for_io(tav_id3_context *context);
enum : int32_t { TAV_CACHE_PASS = -2 };
int64_t tav_id3_cache_seek(tav_id3_read_cache *cache, int32_t offset, int32_t origin);
int32_t tav_id3_cache_read(tav_id3_context *context, tav_id3_read_cache *cache, void *buffer, uint32_t count);
int32_t tav_id3_cache_write(tav_id3_context *context, tav_id3_read_cache *cache, const void *buffer,
                            uint32_t count);
// The snapshot's bytes [from, from + count) of this context's file, when one
// window already holds them all; null otherwise (nothing is read).
const uint8_t *tav_id3_cache_peek(const tav_id3_context *context, int64_t from, uint32_t count);
// Drops the snapshot (and the parsed results) without touching the
// descriptor; returns the position the engine was at, or -1 without a
// snapshot. For a descriptor that is about to be closed.
int64_t tav_id3_cache_forget(tav_id3_context *context);
// Drops the snapshot and parsed results, first putting the descriptor's
// pointer where the engine was. Afterwards the descriptor is authoritative.
void tav_id3_cache_release(tav_id3_context *context);

// Shared by read_cache.cpp and snapshot_io.cpp: whether this call may use the
// cache at all, and the record itself (allocated on first use; null when that
// fails).
bool tav_id3_cache_allowed(const tav_id3_context *context);
tav_id3_read_cache *tav_id3_cache_record(tav_id3_context *context);
void tav_id3_cache_drop_parsed(tav_id3_read_cache *cache);

#endif
