// Helpers shared by the edit transaction's files (edit.cpp, rewrite.cpp,
// commit.cpp, journal.cpp, replace.cpp): the header an edit works on, the new
// tag, the two ways of writing it, the temporary file's disposal, the
// replacement of the content and the end-of-transaction release.
#ifndef TAGMILL_ENGINE_EDIT_INTERNAL_H
#define TAGMILL_ENGINE_EDIT_INTERNAL_H

#include <cstdint>

#include "tagmill/engine.h"

// The header record an edit works on. A content without a usable tag gets an
// empty ID3v2.3 record (size 0, no flags) at position 0, or at the ID3 chunk's
// data offset in an AIFF file; *has_tag tells whether a real header is there.
// An AIFF tag found anywhere but at the start of the ID3 chunk does not count:
// the chunk is where the new tag goes. A tag of an unrecognised version cannot
// be edited (its frame layout is unknown): TAV_ERR_NOT_FOUND.
int32_t tav_id3_v2_edit_header(tav_id3_context *context, tav_id3_v2_header *header, int32_t *has_tag);

// The new tag of an edit, built whole in memory: header, extended header,
// frames, padding and footer, to be placed at `position`. The content after
// the old tag begins at copy_start and follows the new tag unchanged.
struct tav_id3_new_tag {
    uint32_t position;
    uint32_t length;     // bytes at image
    uint32_t copy_start;
    uint32_t new_size;   // the size field of the new header
    uint8_t *image;      // owned, tav_rud_* heap
};

// rewrite.cpp: lays the edit's frames out by the padding policy and builds
// the new tag (reading loaded frames from the content; one that the content
// does not hold whole fails with TAV_ERR_READ). Free it with free_tag.
int32_t tav_id3_v2_build_tag(tav_id3_context *context, const tav_id3_v2_header *header, int32_t has_tag,
                             tav_id3_new_tag *tag);
void tav_id3_v2_free_tag(tav_id3_new_tag *tag);
// Writes the whole new file content into a new temporary file, which stays
// open in the edit state; on failure it is gone and the content unchanged.
int32_t tav_id3_v2_rewrite_file(tav_id3_context *context, const tav_id3_new_tag *tag);
// Replaces a memory content's image by the new one, built in memory.
int32_t tav_id3_v2_rebuild_memory(tav_id3_context *context, const tav_id3_new_tag *tag);

// journal.cpp: writes the regions over a file content where they stand,
// through a journal beside it so that a process killed (or, with flushes on,
// a power cut) at any moment leaves the old bytes or the new ones. Ends with
// TAV_JOURNAL_UNAVAILABLE before touching anything when no journal can be
// made there (the caller rewrites the file instead).
struct tav_id3_region {
    uint64_t offset;
    uint32_t length;
    const uint8_t *bytes;
};
enum : int32_t { TAV_JOURNAL_UNAVAILABLE = -1000 };
int32_t tav_id3_journal_commit(tav_id3_context *context, const tav_id3_region *regions, uint32_t count);

// Closes the temporary file if it is open and deletes it if it was named;
// leaves the edit state with no temporary file. Safe to call at any time.
void tav_id3_v2_discard_temp(tav_id3_context *context);

// Replaces a file content by the finished temporary file, moving it over the
// content's path and reopening it. Returns an engine code; the temporary file
// is gone afterwards in every case.
int32_t tav_id3_v2_replace_content(tav_id3_context *context);

// Ends the transaction: releases the frame list, the appended payloads and the
// extended header copy, resets the edit state to its initial contents and the
// transaction state to idle. Also the way to drop an open transaction when a
// context is destroyed.
void tav_id3_v2_edit_release(tav_id3_context *context);

#endif
