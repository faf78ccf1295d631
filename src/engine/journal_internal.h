// The journal's pieces that the single commit (journal.cpp) and the batched
// commits (journal_batch.cpp) share: sections, whole journals, their files.
#ifndef TAGMILL_ENGINE_JOURNAL_INTERNAL_H
#define TAGMILL_ENGINE_JOURNAL_INTERNAL_H

#include <cstdint>

#include "engine/edit_internal.h"
#include "tagmill/platform.h"

// Bytes on the tav_rud_* heap: a section, or a whole journal.
struct tav_id3_journal {
    uint8_t *bytes = nullptr;
    uint64_t length = 0;
    tav_id3_journal() = default;
    tav_id3_journal(const tav_id3_journal &) = delete;
    tav_id3_journal &operator=(const tav_id3_journal &) = delete;
    ~tav_id3_journal();
};

// ".<name>.tagmill-journal" beside path; false when it does not fit.
bool tav_id3_journal_name(const wchar_t *path, wchar_t out[TAV_PATH_MAX]);
// The section for the content with this identity and these new bytes.
int32_t tav_id3_journal_section(const tav_file_identity &id, const tav_id3_region *regions, uint32_t count,
                                tav_id3_journal *section);
// A whole journal of these sections: magic, count, sections, checksum.
struct tav_id3_span {
    const uint8_t *bytes;
    uint64_t length;
};
int32_t tav_id3_journal_assemble(const tav_id3_span *sections, uint32_t count, tav_id3_journal *j);
// Whether a section is meant for the content with this identity.
bool tav_id3_journal_matches(const uint8_t *section, const tav_file_identity &id);
// Creates the journal file (refused, TAV_JOURNAL_UNAVAILABLE, when the name is
// taken) complete and, with flushes on, durable with its directory entry; on
// failure nothing is left.
int32_t tav_id3_journal_write(const wchar_t *name, const tav_id3_journal &j);
// The section of a whole, unaltered journal meant for this identity; null
// when the journal is torn or holds none.
const uint8_t *tav_id3_journal_find(const tav_id3_journal &j, const tav_file_identity &id);
// Writes a section's regions over the content (no flush).
int32_t tav_id3_journal_apply(const uint8_t *section, int32_t handle);

// journal_batch.cpp: hands a batched commit's section to its context, which
// keeps it (with the content's device) until tav_id3_journal_batch_add.
int32_t tav_id3_defer_commit(tav_id3_context *context, tav_id3_journal *section, uint64_t device);
void tav_id3_deferred_free(tav_id3_context *context);

#endif
