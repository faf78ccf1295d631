// Tag engine: C-style functions over one content (a file or a memory image)
// through a caller-allocated engine context. Content I/O, ID3v2 header location,
// frame reading, the ID3v1 tag, and the ID3v2 edit transaction with its rewrite.
// Every function returns an engine result code (TAV_OK on success).
/// @file
/// @brief The tag engine's C-style interface, for advanced use.
#ifndef TAGMILL_ENGINE_H
#define TAGMILL_ENGINE_H

#include <cstddef>
#include <cstdint>

#include "tagmill/platform.h"

/// Engine result codes, returned by every engine function.
enum : int32_t {
    TAV_OK = 0,               ///< success
    TAV_ERR_OPEN = 1,         ///< cannot open (or reopen after a rewrite)
    TAV_ERR_READ = 2,         ///< read failed or short
    TAV_ERR_WRITE = 3,        ///< write failed or short
    TAV_ERR_SEEK = 4,         ///< seek failed; also: AIFF file without usable ID3 chunk
    TAV_ERR_CLOSE = 5,        ///< close failed
    TAV_ERR_EX_HEADER = 7,    ///< content does not support an extended header
    TAV_ERR_NOMEM = 8,        ///< allocation failed
    TAV_ERR_NOT_FOUND = 9,    ///< no such file / tag / frame / ID3v1 tag
    TAV_ERR_PARAM = 10,       ///< invalid parameter
    TAV_ERR_STATE = 11,       ///< transaction state does not allow the operation
    TAV_ERR_OTHER = -999,     ///< temporary file, rename, truncation, internal state
};

/// Version codes of an ID3v2 tag.
enum : int32_t {
    TAV_ID3_V22 = 0,
    TAV_ID3_V23 = 1,
    TAV_ID3_V24 = 2,
    TAV_ID3_VNONE = -999,
};

/// Content types and transaction states of a context.
enum : uint32_t {
    TAV_CONTENT_FILE = 0,
    TAV_CONTENT_MEMORY = 16,
    TAV_TRANSACTION_NONE = 0,
    TAV_TRANSACTION_V2_EDIT = 2,
};

/// Parsed ID3v2 header. Also describes a new empty tag to create (then size is
/// the number of padding bytes).
struct tav_id3_v2_header {
    int32_t version;           ///< version code
    int32_t position;          ///< offset of the header's first byte
    int32_t size;              ///< decoded tag size (after the header, footer excluded)
    int32_t unsynchronisation; ///< flags: 1 when set
    int32_t compression;       ///< ID3v2.2 only
    int32_t extended_header;   ///< ID3v2.3/2.4
    int32_t experimental;      ///< ID3v2.3/2.4
    int32_t footer;            ///< ID3v2.4, or a 2.4 tag found through its footer
};

/// Parsed frame header. id holds the frame ID's characters big-endian ("TIT2" is
/// 0x54495432; a three-character ID3v2.2 ID has a zero low byte).
struct tav_id3_v2_frame_header {
    uint32_t id;   ///< frame ID, characters big-endian
    uint32_t size; ///< data bytes: header size minus the extra bytes read
    uint8_t tag_alter_preservation;  ///< frame flag (1 = set)
    uint8_t file_alter_preservation; ///< frame flag (1 = set)
    uint8_t read_only;               ///< frame flag (1 = set)
    uint8_t grouping_identity;       ///< frame flag (1 = set); adds group_id
    uint8_t compression;             ///< frame flag (1 = set); adds data_length
    uint8_t encryption;              ///< frame flag (1 = set); adds encryption_method
    uint8_t encryption_method; ///< extra byte, with encryption
    uint8_t group_id;          ///< extra byte, with grouping identity
    uint32_t data_length;      ///< decompressed length, with compression
};

/// The five header flags, in header-record order (1 = set).
struct tav_id3_v2_header_flags {
    int32_t unsynchronisation; ///< all versions (never written)
    int32_t compression;       ///< ID3v2.2
    int32_t extended_header;   ///< ID3v2.3/2.4
    int32_t experimental;      ///< ID3v2.3/2.4
    int32_t footer;            ///< ID3v2.4
};

/// One frame of an edit transaction: loaded from the content (payload null, its
/// bytes stay in the content at old_offset) or appended (payload owned here).
struct tav_id3_v2_frame_entry {
    uint32_t old_offset;   ///< logical (de-unsynchronised) offset of the header; 0 when appended
    uint32_t new_offset;   ///< offset in the new tag, set by the layout
    uint32_t total_size;   ///< header + extra bytes + payload
    uint32_t payload_size; ///< data bytes
    uint8_t raw_header[10]; ///< the frame header as it is written (6 bytes used in ID3v2.2)
    uint8_t extra_count;   ///< 0 to 6
    uint8_t extra[6];      ///< data length, encryption method, group id, as the flags ask
    uint8_t *payload;      ///< owned copy of an appended frame's data; null for a loaded frame
};

/// Doubly linked frame list in tag order; the list owns its entries.
struct tav_id3_v2_frame_node {
    tav_id3_v2_frame_entry *entry; ///< owned
    tav_id3_v2_frame_node *prev;   ///< null at the head
    tav_id3_v2_frame_node *next;   ///< null at the tail
};

/// Edit state of a context (zero-filled at creation, temp_handle -1).
struct tav_id3_edit_state {
    int32_t version;                 ///< version in which new frame headers are built
    int32_t temp_handle;             ///< temporary file, -1 when none is open
    uint32_t frames_end;             ///< content offset just past the last frame
    uint8_t *new_header_flags_ref;   ///< null, or &new_header_flags
    uint8_t *ex_header;              ///< owned 14-byte extended header copy, or null
    tav_id3_v2_frame_node *frames;   ///< head of the frame list
    wchar_t temp_name[TAV_PATH_MAX]; ///< temporary file of the rewrite, empty when none
    uint8_t new_header_flags;        ///< header flags byte of the new tag
};

/// Memory content of a context.
struct tav_id3_memory_content {
    uint32_t data_length; ///< valid bytes; reads stop and seeks are bounded here
    uint8_t *buffer;      ///< owned, tav_rud_* heap
    uint32_t position;    ///< current position
    uint32_t capacity;    ///< bytes allocated at buffer
};

// What the engine keeps of a content between calls (engine-internal record).
struct tav_id3_read_cache;

/// Engine context: caller-allocated, filled by a create function, emptied by
/// tav_id3_destroy_context().
struct tav_id3_context {
    int32_t mode;                 ///< file: 0 read, 1 create new, 2 read-write; memory: 0 copy, 1 new tag
    wchar_t *path;                ///< owned; empty for a memory content
    uint32_t content_type;        ///< TAV_CONTENT_FILE or TAV_CONTENT_MEMORY
    int32_t handle;               ///< file descriptor, -1 when none
    uint32_t transaction_state;   ///< TAV_TRANSACTION_*
    tav_id3_edit_state *edit;     ///< owned
    tav_id3_memory_content *memory; ///< owned, memory contents only
    int32_t is_aiff;                ///< 1 for an AIFF or AIFF-C file opened as such
    int32_t id3_chunk_missing;      ///< 1 while the AIFF file has no "ID3 " chunk
    uint32_t id3_chunk_data_offset; ///< offset of the "ID3 " chunk's data (the tag)
    uint32_t id3_chunk_offset;      ///< offset of the "ID3 " chunk header
    tav_id3_read_cache *cache;    ///< owned, created on first use; null at creation
    int32_t no_sync;              ///< 1: commits skip their flushes (safe against a killed process only)
    int32_t defer_journal;        ///< 1: an in-place commit ends with its new bytes kept in `deferred`
    struct tav_id3_deferred_commit *deferred; ///< owned; a commit waiting for tav_id3_journal_batch_add
};

/// ID3v1 fields that a commit writes together with the new ID3v2 tag.
enum : uint32_t {
    TAV_V1_TITLE = 1,
    TAV_V1_ALBUM = 2,
    TAV_V1_GENRE = 4,
    TAV_V1_ARTIST = 8,
    TAV_V1_TRACK = 16,
    TAV_V1_YEAR = 32,
};
/// The ID3v1 fields of a commit: the TAV_V1_* bits name those to write. Text
/// fields hold the 30 bytes of the field value (zero-padded) and a terminator.
struct tav_id3_v1_update {
    uint32_t fields;
    char title[31];
    char album[31];
    char artist[31];
    uint8_t genre;
    uint8_t track;
    int32_t year;
};

// Log hooks. Every engine function traces "<name>() enter" and "<name>() exit";
// a logged failure passes a format "in %s() <reason>." and the function's name.
// Both hooks do nothing until a host installs its own (null restores the default).
/// Receives a trace text such as "tav_id3_v2_edit_end() enter".
typedef void (*tav_trace_hook)(const char *text);
/// Receives a failure: a format "in %s() <reason>." and the function's name.
typedef void (*tav_error_hook)(const char *format, const char *function);
/// @brief Installs the trace and error hooks (process-wide); null restores the
/// default hook, which does nothing. Logging never changes a result.
void tav_set_log_hooks(tav_trace_hook trace, tav_error_hook error);

// Context and content I/O.
/// @brief Creates a context over a file.
/// @param path the file's path.
/// @param mode 0 read only; 1 create a new file (it must not exist) holding the
/// empty tag described by header; 2 read and write.
/// @param header the tag to write when a new one is needed (its size is the
/// number of padding bytes); required for mode 1 and for an AIFF file that may
/// receive a new "ID3 " chunk (mode 2).
/// @param aiff nonzero to look for the tag in the "ID3 " chunk of an AIFF or
/// AIFF-C file; in mode 2 a missing chunk is appended.
/// @param[out] context the caller's record, filled here.
/// @return TAV_OK; TAV_ERR_PARAM; TAV_ERR_NOT_FOUND when the path is missing or
/// not a regular file; TAV_ERR_OPEN; TAV_ERR_NOMEM; TAV_ERR_SEEK for an AIFF
/// file without an "ID3 " chunk in modes 0 and 1; TAV_ERR_READ, TAV_ERR_WRITE.
/// A failed creation leaves nothing open or allocated.
int32_t tav_id3_create_context2(const wchar_t *path, int32_t mode, const tav_id3_v2_header *header,
                                int32_t aiff, tav_id3_context *context);
/// @brief Creates a context over a memory image.
/// @param buffer the caller's bytes (mode 0); the caller keeps its buffer.
/// @param length bytes to copy (mode 0, at least 1).
/// @param mode 0 copy the caller's image; 1 start a new image holding the empty
/// tag described by header (buffer and length are not used).
/// @param header the new tag (mode 1).
/// @param[out] context the caller's record, filled here.
/// @return TAV_OK; TAV_ERR_PARAM (also for length 0 in mode 0); TAV_ERR_NOMEM.
int32_t tav_id3_create_context_from_memory(const uint8_t *buffer, uint32_t length, int32_t mode,
                                           const tav_id3_v2_header *header, tav_id3_context *context);
/// @brief Closes the content and releases everything the context owns. An edit
/// that was not ended is dropped: the content keeps what it held. The record
/// must be created again before further use.
/// @return TAV_OK; TAV_ERR_PARAM; TAV_ERR_CLOSE.
int32_t tav_id3_destroy_context(tav_id3_context *context);
/// @brief Opens the context's file (mode 0 read, 1 create new, 2 read and write)
/// into *handle; a memory content needs no opening.
/// @return 0, or a negative open result of tav_open().
int32_t tav_id3_open_content(tav_id3_context *context, int32_t mode, int32_t *handle);
/// @brief Moves the content position (origin 0 start, 1 current, 2 end).
/// @return the new position, or -1.
int64_t tav_id3_seek_content(tav_id3_context *context, int32_t offset, int32_t origin);
/// @brief Reads up to count bytes at the content position.
/// @return the bytes read, or -1.
int32_t tav_id3_read_content(tav_id3_context *context, void *buffer, uint32_t count);
/// @brief Writes count bytes at the content position.
/// @return the bytes written, or -1.
int32_t tav_id3_write_content(tav_id3_context *context, const void *buffer, uint32_t count);
/// @brief Closes the content's file handle, if any.
/// @return 0, or -1.
int32_t tav_id3_close_content(tav_id3_context *context);

// ID3v2 header.
/// @brief Locates and parses the ID3v2 header: at the start of the content (or
/// of the AIFF "ID3 " chunk), else from the end through a footer.
/// @return TAV_OK; TAV_ERR_NOT_FOUND when the content has no ID3v2 tag;
/// TAV_ERR_PARAM, TAV_ERR_SEEK, TAV_ERR_READ.
int32_t tav_id3_v2_get_header(tav_id3_context *context, tav_id3_v2_header *header);
/// @brief As tav_id3_v2_get_header(), but a content without a tag reports an
/// empty ID3v2.3 tag (version code 1, position 0, size 0) instead of
/// TAV_ERR_NOT_FOUND.
int32_t tav_id3_v2_get_header2(tav_id3_context *context, tav_id3_v2_header *header);
// Copies the raw tag (header + body). *buffer must come from tav_rud_malloc; it
// is released (and nulled) when the copy fails. A null buffer asks for the size.
/// @brief Copies the raw tag (header and body, not a footer).
/// @param context an open context.
/// @param[in,out] buffer null asks for the size only; else *buffer must be a
/// tav_rud_malloc block of at least that size (null gives TAV_ERR_PARAM). It is
/// released and nulled when the copy fails.
/// @param[out] size the tag size plus 10, or the bytes copied.
/// @return TAV_OK; TAV_ERR_NOT_FOUND without a tag; TAV_ERR_PARAM;
/// TAV_ERR_SEEK, TAV_ERR_READ; TAV_ERR_NOMEM.
int32_t tav_id3_get_id3tag(tav_id3_context *context, uint8_t **buffer, uint32_t *size);

// Frames.
/// Receives one frame of a walk over the tag: its header record, the logical
/// (de-unsynchronised) offset of its frame header from the start of the
/// content, and its length (frame header + size in the header). Return nonzero
/// to stop the walk.
typedef int (*tav_id3_v2_frame_visitor)(const tav_id3_v2_frame_header *frame, uint32_t position,
                                        uint32_t length, void *user);
/// @brief Offers every frame of the ID3v2 tag to visitor, in tag order, as the
/// frame functions below see them; padding is not offered. The visitor must not
/// call engine functions on the same context; read the data afterwards with
/// tav_id3_v2_get_frame_data() (the n-th frame with an ID is that ID's index n).
/// @return TAV_OK; TAV_ERR_NOT_FOUND when the content has no ID3v2 tag;
/// TAV_ERR_PARAM; an I/O failure.
int32_t tav_id3_v2_enum_frames(tav_id3_context *context, tav_id3_v2_frame_visitor visitor, void *user);
/// @brief Counts the frames with frame ID id in the tag as stored.
/// @return TAV_OK (count 0 when there is none or no tag); an I/O failure.
int32_t tav_id3_v2_get_frame_num(tav_id3_context *context, uint32_t id, uint32_t *count);
/// @brief Parses the header of the index-th frame (from 0) with frame ID id and
/// positions the content at its first data byte.
/// @return TAV_OK; TAV_ERR_NOT_FOUND when there is no such frame; an I/O failure.
int32_t tav_id3_v2_get_frame_header(tav_id3_context *context, uint32_t id, uint32_t index,
                                    tav_id3_v2_frame_header *header);
/// @brief Copies the data of the index-th frame with frame ID id, with
/// unsynchronisation removed (compressed or encrypted data as stored).
/// @param context an open context.
/// @param id the frame ID, characters big-endian.
/// @param index which of the frames with that ID, from 0.
/// @param[in,out] size in: the buffer's capacity; out: the bytes copied.
/// @param[out] buffer receives the data.
/// @return TAV_OK; TAV_ERR_NOT_FOUND when there is no such frame; an I/O failure.
int32_t tav_id3_v2_get_frame_data(tav_id3_context *context, uint32_t id, uint32_t index,
                                  uint32_t *size, uint8_t *buffer);
/// @brief The offset in the content of the first byte after the header of the
/// index-th frame with frame ID id, and its data size; both 0 when there is no
/// such frame.
/// @return TAV_OK; TAV_ERR_NOT_FOUND when the content has no ID3v2 tag; an I/O
/// failure.
int32_t tav_id3_v2_get_frame_data_offset(tav_id3_context *context, uint32_t id, uint32_t index,
                                         uint32_t *offset, uint32_t *size);

// ID3v1 tag.
/// @brief Writes the ID3v1 title (at most 30 bytes, NUL-terminated; longer is
/// TAV_ERR_PARAM), appending a new ID3v1 tag when the content has none. Every
/// ID3v1 set function is refused with TAV_ERR_STATE while an ID3v2 edit is
/// open.
int32_t tav_id3_v1_set_title(tav_id3_context *context, const char *title);
/// @brief Writes the ID3v1 artist, as tav_id3_v1_set_title().
int32_t tav_id3_v1_set_artist(tav_id3_context *context, const char *artist);
/// @brief Writes the ID3v1 album, as tav_id3_v1_set_title().
int32_t tav_id3_v1_set_album(tav_id3_context *context, const char *album);
/// @brief Writes the ID3v1 year: 0 writes four spaces (no year); other years
/// must format to exactly four characters (else TAV_ERR_PARAM).
int32_t tav_id3_v1_set_year(tav_id3_context *context, int32_t year);
/// @brief Writes the ID3v1 genre byte (148: no genre).
int32_t tav_id3_v1_set_genre(tav_id3_context *context, uint8_t genre);
/// @brief Writes the ID3v1.1 track number byte.
int32_t tav_id3_v1_set_tracknumber(tav_id3_context *context, uint8_t track);
/// @brief Reads the ID3v1 title.
/// @param context an open context.
/// @param buffer receives the text and a NUL; it holds *length + 1 bytes.
/// @param[in,out] length in: the most bytes wanted (at most 30); out: the text's
/// length.
/// @return TAV_OK; TAV_ERR_NOT_FOUND when the content has no ID3v1 tag;
/// TAV_ERR_PARAM; an I/O failure.
int32_t tav_id3_v1_get_title(tav_id3_context *context, char *buffer, uint32_t *length);
/// @brief Reads the ID3v1 artist, as tav_id3_v1_get_title().
int32_t tav_id3_v1_get_artist(tav_id3_context *context, char *buffer, uint32_t *length);
/// @brief Reads the ID3v1 album, as tav_id3_v1_get_title().
int32_t tav_id3_v1_get_album(tav_id3_context *context, char *buffer, uint32_t *length);
/// @brief Reads the ID3v1 year as a number (0 when the field is not a number).
int32_t tav_id3_v1_get_year(tav_id3_context *context, int32_t *year);
/// @brief Reads the ID3v1 genre byte (0-255).
int32_t tav_id3_v1_get_genre(tav_id3_context *context, uint32_t *genre);
/// @brief Reads the ID3v1.1 track number byte; TAV_ERR_NOT_FOUND for an ID3v1.0
/// tag (no track number).
int32_t tav_id3_v1_get_tracknumebr(tav_id3_context *context, uint8_t *track);

// ID3v2 edit transaction.
/// @brief Opens the ID3v2 edit transaction and loads the frame list.
/// @return TAV_OK; TAV_ERR_STATE when one is already open; an I/O failure.
int32_t tav_id3_v2_edit_begin(tav_id3_context *context);
/// @brief Appends a frame after every frame of the edit: header->id,
/// header->size (the payload size) and its flags (0 for a plain frame), and a
/// copy of the payload, which must not be null.
/// @return TAV_OK; TAV_ERR_STATE outside an edit; TAV_ERR_PARAM; TAV_ERR_NOMEM.
int32_t tav_id3_v2_add_frame(tav_id3_context *context, const tav_id3_v2_frame_header *header,
                             const uint8_t *payload);
/// @brief Removes the index-th entry (from 0, in tag order) with frame ID id from
/// the edit's frame list.
/// @return TAV_OK; TAV_ERR_NOT_FOUND when there is no such entry; TAV_ERR_PARAM
/// for a read-only frame of the stored tag; TAV_ERR_STATE outside an edit.
int32_t tav_id3_v2_remove_frame(tav_id3_context *context, uint32_t id, int32_t index);
/// @brief The list position (from 0) of the index-th entry with frame ID id in
/// the edit's frame list, or -1 (also outside an edit). Not a result code.
int32_t tav_id3_v2_find_frame_index(tav_id3_context *context, uint32_t id, int32_t index);
/// @brief Sets the header flags of the tag the edit will write
/// (unsynchronisation is never written).
/// @return TAV_OK; TAV_ERR_PARAM; TAV_ERR_STATE outside an edit.
int32_t tav_id3_v2_set_header_flag_info(tav_id3_context *context, const tav_id3_v2_header_flags *flags);
/// @brief Drops the extended header from the tag the edit will write.
/// @return TAV_OK; TAV_ERR_NOT_FOUND when the content has no tag yet (nothing to
/// drop); TAV_ERR_EX_HEADER for an ID3v2.2 tag; TAV_ERR_STATE outside an edit.
int32_t tav_id3_v2_remove_extended_header(tav_id3_context *context);
/// @brief Ends the edit: lays the new tag out, writes the whole content anew into
/// a temporary file ("id3XXXXXX" in $TMPDIR or /tmp), which then replaces the
/// file (or is read back into the memory image).
/// @return TAV_OK; TAV_ERR_STATE outside an edit; an I/O failure or
/// TAV_ERR_OTHER, after which the transaction stays open.
int32_t tav_id3_v2_edit_end(tav_id3_context *context);
/// @brief Ends the edit as tav_id3_v2_edit_end() does and writes the ID3v1 fields
/// of v1 (null: none) in the same commit, each as its tav_id3_v1_set_* writer
/// would right after the end. When the new tag keeps the old one's place and
/// length, only the changed bytes are written, through a journal beside the
/// file (see journal.cpp); otherwise the content is rewritten. Either way a
/// process killed at any moment leaves the old content or the new one, and so
/// does a power cut unless the context's no_sync is set.
/// @return as tav_id3_v2_edit_end(); TAV_ERR_PARAM for a year that does not
/// print as four characters (nothing written).
int32_t tav_id3_v2_edit_end_with_v1(tav_id3_context *context, const tav_id3_v1_update *v1);
/// @brief Completes or discards the journal that a commit killed part-way left
/// beside path. Every context creation over a file does this first.
/// @return TAV_OK when there was none or it was dealt with; TAV_ERR_OPEN when a
/// valid journal could not be completed (it stays for the next attempt).
int32_t tav_id3_recover(const wchar_t *path);
/// @brief Whether a journal lies beside path (a commit that did not finish).
int32_t tav_id3_journal_pending(const wchar_t *path);
/// A group of in-place commits that share their flushes (journal_batch.cpp):
/// each commit of a context with defer_journal set ends with its new bytes
/// held in the context, untouched content; tav_id3_journal_batch_add takes
/// them, and tav_id3_journal_batch_finish writes them all.
typedef struct tav_id3_journal_batch tav_id3_journal_batch;
/// @return an empty batch, or null when memory runs out.
tav_id3_journal_batch *tav_id3_journal_batch_create(void);
/// @brief Frees the batch; commits still waiting are dropped (their contents
/// keep their old bytes).
void tav_id3_journal_batch_destroy(tav_id3_journal_batch *batch);
/// @brief Takes the commit that the context's last edit end left waiting.
/// @return TAV_OK; TAV_ERR_STATE when the context holds none; TAV_ERR_PARAM
/// when no journal name fits beside the content; TAV_ERR_NOMEM.
int32_t tav_id3_journal_batch_add(tav_id3_journal_batch *batch, tav_id3_context *context);
/// @brief The number of commits waiting in the batch.
uint32_t tav_id3_journal_batch_waiting(const tav_id3_journal_batch *batch);
/// @brief The bytes the waiting commits hold in memory (their journal sections).
uint64_t tav_id3_journal_batch_bytes(const tav_id3_journal_batch *batch);
/// @brief Writes every waiting commit: one journal per file system holding the
/// new bytes of all its contents, under each content's journal name (hard
/// links; a content whose link fails gets a journal of its own), made durable
/// at once; then the bytes over each content, made durable at once; then the
/// journals go. The batch is empty afterwards.
/// @return TAV_OK; TAV_ERR_WRITE when some commit did not reach its content
/// (a journal that was written stays, and the next open completes it; a
/// content without one keeps its old bytes).
int32_t tav_id3_journal_batch_finish(tav_id3_journal_batch *batch);

#endif
