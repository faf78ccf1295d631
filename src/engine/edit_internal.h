// Helpers shared by the edit transaction's files (edit.cpp, rewrite.cpp,
// replace.cpp): the header an edit works on, the temporary file's disposal,
// the replacement of the content and the end-of-transaction release.
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

// Closes the temporary file if it is open and deletes it if it was named;
// leaves the edit state with no temporary file. Safe to call at any time.
void tav_id3_v2_discard_temp(tav_id3_context *context);

// Replaces the content by the finished temporary file: a file content by
// moving it over the content's path and reopening it, a memory content by
// reading it back into the image. Returns an engine code; the temporary file
// is gone afterwards in every case.
int32_t tav_id3_v2_replace_content(tav_id3_context *context);

// Ends the transaction: releases the frame list, the appended payloads and the
// extended header copy, resets the edit state to its initial contents and the
// transaction state to idle. Also the way to drop an open transaction when a
// context is destroyed.
void tav_id3_v2_edit_release(tav_id3_context *context);

#endif
