// Tag engine: C-style functions over one content (a file or a memory image)
// through a caller-allocated engine context. Content I/O, ID3v2 header location,
// frame reading, the ID3v1 tag, and the ID3v2 edit transaction with its rewrite.
// Every function returns an engine result code (TAV_OK on success).
#ifndef TAGMILL_ENGINE_H
#define TAGMILL_ENGINE_H

#include <cstddef>
#include <cstdint>

#include "tagmill/platform.h"

// Engine result codes.
enum : int32_t {
    TAV_OK = 0,
    TAV_ERR_OPEN = 1,         // cannot open (or reopen after a rewrite)
    TAV_ERR_READ = 2,         // read failed or short
    TAV_ERR_WRITE = 3,        // write failed or short
    TAV_ERR_SEEK = 4,         // seek failed; also: AIFF file without usable ID3 chunk
    TAV_ERR_CLOSE = 5,        // close failed
    TAV_ERR_EX_HEADER = 7,    // content does not support an extended header
    TAV_ERR_NOMEM = 8,        // allocation failed
    TAV_ERR_NOT_FOUND = 9,    // no such file / tag / frame / ID3v1 tag
    TAV_ERR_PARAM = 10,       // invalid parameter
    TAV_ERR_STATE = 11,       // transaction state does not allow the operation
    TAV_ERR_OTHER = -999,     // temporary file, rename, truncation, internal state
};

// Version codes.
enum : int32_t {
    TAV_ID3_V22 = 0,
    TAV_ID3_V23 = 1,
    TAV_ID3_V24 = 2,
    TAV_ID3_VNONE = -999,
};

// Content types and transaction states.
enum : uint32_t {
    TAV_CONTENT_FILE = 0,
    TAV_CONTENT_MEMORY = 16,
    TAV_TRANSACTION_NONE = 0,
    TAV_TRANSACTION_V2_EDIT = 2,
};

// Parsed ID3v2 header. Also describes a new empty tag to create (then size is
// the number of padding bytes).
struct tav_id3_v2_header {
    int32_t version;           // version code
    int32_t position;          // offset of the header's first byte
    int32_t size;              // decoded tag size (after the header, footer excluded)
    int32_t unsynchronisation; // flags: 1 when set
    int32_t compression;       // ID3v2.2 only
    int32_t extended_header;   // ID3v2.3/2.4
    int32_t experimental;      // ID3v2.3/2.4
    int32_t footer;            // ID3v2.4, or a 2.4 tag found through its footer
};

// Parsed frame header. id holds the frame ID's characters big-endian ("TIT2" is
// 0x54495432; a three-character ID3v2.2 ID has a zero low byte).
struct tav_id3_v2_frame_header {
    uint32_t id;
    uint32_t size; // data bytes: header size minus the extra bytes read
    uint8_t tag_alter_preservation;
    uint8_t file_alter_preservation;
    uint8_t read_only;
    uint8_t grouping_identity;
    uint8_t compression;
    uint8_t encryption;
    uint8_t encryption_method; // extra byte, with encryption
    uint8_t group_id;          // extra byte, with grouping identity
    uint32_t data_length;      // decompressed length, with compression
};

// The five header flags, in header-record order (1 = set).
struct tav_id3_v2_header_flags {
    int32_t unsynchronisation;
    int32_t compression;
    int32_t extended_header;
    int32_t experimental;
    int32_t footer;
};

// One frame of an edit transaction: loaded from the content (payload null, its
// bytes stay in the content at old_offset) or appended (payload owned here).
struct tav_id3_v2_frame_entry {
    uint32_t old_offset;   // logical (de-unsynchronised) offset of the header; 0 when appended
    uint32_t new_offset;   // offset in the new tag, set by the layout
    uint32_t total_size;   // header + extra bytes + payload
    uint32_t payload_size;
    uint8_t raw_header[10];
    uint8_t extra_count;   // 0 to 6
    uint8_t extra[6];
    uint8_t *payload;
};

// Doubly linked frame list in tag order; the list owns its entries.
struct tav_id3_v2_frame_node {
    tav_id3_v2_frame_entry *entry;
    tav_id3_v2_frame_node *prev;
    tav_id3_v2_frame_node *next;
};

// Edit state of a context (zero-filled at creation, temp_handle -1).
struct tav_id3_edit_state {
    int32_t version;                 // version in which new frame headers are built
    int32_t temp_handle;             // temporary file, -1 when none is open
    uint32_t frames_end;             // content offset just past the last frame
    uint8_t *new_header_flags_ref;   // null, or &new_header_flags
    uint8_t *ex_header;              // owned 14-byte extended header copy, or null
    tav_id3_v2_frame_node *frames;   // head of the frame list
    wchar_t temp_name[TAV_PATH_MAX];
    uint8_t new_header_flags;
};

// Memory content of a context.
struct tav_id3_memory_content {
    uint32_t data_length; // valid bytes; reads stop and seeks are bounded here
    uint8_t *buffer;      // owned, tav_rud_* heap
    uint32_t position;
    uint32_t capacity;
};

// Engine context: caller-allocated, filled by a create function, emptied by
// tav_id3_destroy_context.
struct tav_id3_context {
    int32_t mode;                 // file: 0 read, 1 create new, 2 read-write; memory: 0 copy, 1 new tag
    wchar_t *path;                // owned; empty for a memory content
    uint32_t content_type;        // TAV_CONTENT_FILE or TAV_CONTENT_MEMORY
    int32_t handle;               // file descriptor, -1 when none
    uint32_t transaction_state;   // TAV_TRANSACTION_*
    tav_id3_edit_state *edit;     // owned
    tav_id3_memory_content *memory; // owned, memory contents only
    int32_t is_aiff;
    int32_t id3_chunk_missing;
    uint32_t id3_chunk_data_offset;
    uint32_t id3_chunk_offset;
};

// Log hooks. Every engine function traces "<name>() enter" and "<name>() exit";
// a logged failure passes a format "in %s() <reason>." and the function's name.
// Both hooks do nothing until a host installs its own (null restores the default).
typedef void (*tav_trace_hook)(const char *text);
typedef void (*tav_error_hook)(const char *format, const char *function);
void tav_set_log_hooks(tav_trace_hook trace, tav_error_hook error);

// Context and content I/O.
int32_t tav_id3_create_context2(const wchar_t *path, int32_t mode, const tav_id3_v2_header *header,
                                int32_t aiff, tav_id3_context *context);
int32_t tav_id3_create_context_from_memory(const uint8_t *buffer, uint32_t length, int32_t mode,
                                           const tav_id3_v2_header *header, tav_id3_context *context);
int32_t tav_id3_destroy_context(tav_id3_context *context);
int32_t tav_id3_open_content(tav_id3_context *context, int32_t mode, int32_t *handle);
int64_t tav_id3_seek_content(tav_id3_context *context, int32_t offset, int32_t origin);
int32_t tav_id3_read_content(tav_id3_context *context, void *buffer, uint32_t count);
int32_t tav_id3_write_content(tav_id3_context *context, const void *buffer, uint32_t count);
int32_t tav_id3_close_content(tav_id3_context *context);

// ID3v2 header.
int32_t tav_id3_v2_get_header(tav_id3_context *context, tav_id3_v2_header *header);
int32_t tav_id3_v2_get_header2(tav_id3_context *context, tav_id3_v2_header *header);
// Copies the raw tag (header + body). *buffer must come from tav_rud_malloc; it
// is released (and nulled) when the copy fails. A null buffer asks for the size.
int32_t tav_id3_get_id3tag(tav_id3_context *context, uint8_t **buffer, uint32_t *size);

// Frames.
int32_t tav_id3_v2_get_frame_num(tav_id3_context *context, uint32_t id, uint32_t *count);
int32_t tav_id3_v2_get_frame_header(tav_id3_context *context, uint32_t id, uint32_t index,
                                    tav_id3_v2_frame_header *header);
int32_t tav_id3_v2_get_frame_data(tav_id3_context *context, uint32_t id, uint32_t index,
                                  uint32_t *size, uint8_t *buffer);
int32_t tav_id3_v2_get_frame_data_offset(tav_id3_context *context, uint32_t id, uint32_t index,
                                         uint32_t *offset, uint32_t *size);

// ID3v1 tag.
int32_t tav_id3_v1_set_title(tav_id3_context *context, const char *title);
int32_t tav_id3_v1_set_artist(tav_id3_context *context, const char *artist);
int32_t tav_id3_v1_set_album(tav_id3_context *context, const char *album);
int32_t tav_id3_v1_set_year(tav_id3_context *context, int32_t year);
int32_t tav_id3_v1_set_genre(tav_id3_context *context, uint8_t genre);
int32_t tav_id3_v1_set_tracknumber(tav_id3_context *context, uint8_t track);
int32_t tav_id3_v1_get_title(tav_id3_context *context, char *buffer, uint32_t *length);
int32_t tav_id3_v1_get_artist(tav_id3_context *context, char *buffer, uint32_t *length);
int32_t tav_id3_v1_get_album(tav_id3_context *context, char *buffer, uint32_t *length);
int32_t tav_id3_v1_get_year(tav_id3_context *context, int32_t *year);
int32_t tav_id3_v1_get_genre(tav_id3_context *context, uint32_t *genre);
int32_t tav_id3_v1_get_tracknumebr(tav_id3_context *context, uint8_t *track);

// ID3v2 edit transaction.
int32_t tav_id3_v2_edit_begin(tav_id3_context *context);
int32_t tav_id3_v2_add_frame(tav_id3_context *context, const tav_id3_v2_frame_header *header,
                             const uint8_t *payload);
int32_t tav_id3_v2_remove_frame(tav_id3_context *context, uint32_t id, int32_t index);
int32_t tav_id3_v2_find_frame_index(tav_id3_context *context, uint32_t id, int32_t index);
int32_t tav_id3_v2_set_header_flag_info(tav_id3_context *context, const tav_id3_v2_header_flags *flags);
int32_t tav_id3_v2_remove_extended_header(tav_id3_context *context);
int32_t tav_id3_v2_edit_end(tav_id3_context *context);

#endif
