// Batched in-place commits: many commits whose tags keep their length share
// their flushes. Each waits in the batch as its journal section; finishing
// the batch writes one journal per file system holding every section there,
// names it after each content (hard links), makes them durable with one
// flush, writes the contents, makes them durable with one more, and removes
// the names. A name is an ordinary journal to every open of its content.
#include <cstring>
#include <cwchar>

#include "engine/internal.h"
#include "engine/journal_internal.h"

struct tav_id3_deferred_commit {
    uint8_t *section; // tav_rud_* heap
    uint64_t length;
    uint64_t device;
};

namespace {

enum entry_state { kWaiting, kJournaled, kWritten, kFailed };

struct batch_entry {
    wchar_t *path;    // tav_rud_* heap
    wchar_t *journal; // its journal's name, tav_rud_* heap
    tav_id3_deferred_commit commit;
    entry_state state;
};

void free_entries(batch_entry *entries, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        tav_rud_free(entries[i].path);
        tav_rud_free(entries[i].journal);
        tav_rud_free(entries[i].commit.section);
    }
}

} // namespace

struct tav_id3_journal_batch {
    batch_entry *entries; // tav_rud_* heap
    uint32_t count, capacity;
};

int32_t tav_id3_defer_commit(tav_id3_context *context, tav_id3_journal *section, uint64_t device) {
    tav_id3_deferred_free(context);
    auto *deferred = static_cast<tav_id3_deferred_commit *>(tav_rud_malloc(sizeof(tav_id3_deferred_commit)));
    if (!deferred) return TAV_ERR_NOMEM;
    *deferred = tav_id3_deferred_commit{section->bytes, section->length, device};
    section->bytes = nullptr;
    context->deferred = deferred;
    return TAV_OK;
}

void tav_id3_deferred_free(tav_id3_context *context) {
    if (!context->deferred) return;
    tav_rud_free(context->deferred->section);
    tav_rud_free(context->deferred);
    context->deferred = nullptr;
}

namespace {

bool grow(tav_id3_journal_batch *batch) {
    if (batch->count < batch->capacity) return true;
    const uint32_t capacity = batch->capacity ? batch->capacity * 2 : 16;
    auto *entries = static_cast<batch_entry *>(tav_rud_malloc(sizeof(batch_entry) * capacity));
    if (!entries) return false;
    if (batch->count) memcpy(entries, batch->entries, sizeof(batch_entry) * batch->count);
    tav_rud_free(batch->entries);
    batch->entries = entries;
    batch->capacity = capacity;
    return true;
}

// A journal of its own, for a content that could not share its device's.
entry_state write_alone(const batch_entry &e) {
    const tav_id3_span one = {e.commit.section, e.commit.length};
    tav_id3_journal j;
    if (tav_id3_journal_assemble(&one, 1, &j) != TAV_OK) return kFailed;
    return tav_id3_journal_write(e.journal, j) == TAV_OK ? kJournaled : kFailed;
}

// The journal of every waiting entry on the device of entries[first], under
// that entry's journal name, linked to the names of the others.
void write_device_journal(tav_id3_journal_batch *batch, uint32_t first) {
    batch_entry *e = batch->entries;
    const uint64_t device = e[first].commit.device;
    auto *spans = static_cast<tav_id3_span *>(tav_rud_malloc(sizeof(tav_id3_span) * (batch->count - first)));
    uint32_t count = 0;
    for (uint32_t i = first; spans && i < batch->count; ++i)
        if (e[i].state == kWaiting && e[i].commit.device == device)
            spans[count++] = tav_id3_span{e[i].commit.section, e[i].commit.length};
    tav_id3_journal j;
    const bool made = spans && tav_id3_journal_assemble(spans, count, &j) == TAV_OK &&
                      tav_id3_journal_write(e[first].journal, j) == TAV_OK;
    tav_rud_free(spans);
    for (uint32_t i = first; i < batch->count; ++i) {
        if (e[i].state != kWaiting || e[i].commit.device != device) continue;
        if (made && (i == first || tav_link(e[first].journal, e[i].journal) == 0))
            e[i].state = kJournaled;
        else
            e[i].state = write_alone(e[i]);
    }
}

// Writes a journaled entry's bytes over its content, if it is still the file
// the section was made for.
entry_state write_content(const batch_entry &e) {
    int32_t handle = -1;
    if (tav_open(e.path, TAV_O_RDWR, &handle) != 0) return kFailed;
    tav_file_identity id;
    const bool ok = tav_identify_file(handle, &id) == 0 && tav_id3_journal_matches(e.commit.section, id) &&
                    tav_id3_journal_apply(e.commit.section, handle) == TAV_OK;
    tav_close(&handle);
    return ok ? kWritten : kFailed;
}

// One group flush of the entries in `state`: their journals or contents.
bool flush_group(const tav_id3_journal_batch *batch, entry_state state, bool journals) {
    auto **paths = static_cast<const wchar_t **>(tav_rud_malloc(sizeof(wchar_t *) * (batch->count ? batch->count : 1)));
    if (!paths) return false;
    uint32_t count = 0;
    for (uint32_t i = 0; i < batch->count; ++i)
        if (batch->entries[i].state == state) paths[count++] = journals ? batch->entries[i].journal : batch->entries[i].path;
    const bool ok = tav_flush_paths(paths, count) == 0;
    tav_rud_free(paths);
    return ok;
}

int32_t finish(tav_id3_journal_batch *batch) {
    batch_entry *e = batch->entries;
    const int32_t flushes = tav_flushes_enabled();
    tav_set_flushes(0); // the group flushes below stand for each file's own
    for (uint32_t i = 0; i < batch->count; ++i)
        if (e[i].state == kWaiting) write_device_journal(batch, i);
    tav_set_flushes(flushes);
    if (!flush_group(batch, kJournaled, true)) return TAV_ERR_WRITE;
    for (uint32_t i = 0; i < batch->count; ++i)
        if (e[i].state == kJournaled) e[i].state = write_content(e[i]);
    // Only contents made durable may lose their journals; one left behind
    // only writes the same bytes again.
    if (!flush_group(batch, kWritten, false)) return TAV_ERR_WRITE;
    int32_t rc = TAV_OK;
    for (uint32_t i = 0; i < batch->count; ++i)
        if (e[i].state == kWritten)
            tav_unlink(e[i].journal);
        else
            rc = TAV_ERR_WRITE;
    return rc;
}

} // namespace

tav_id3_journal_batch *tav_id3_journal_batch_create(void) {
    return static_cast<tav_id3_journal_batch *>(tav_rud_calloc(sizeof(tav_id3_journal_batch)));
}

void tav_id3_journal_batch_destroy(tav_id3_journal_batch *batch) {
    if (!batch) return;
    free_entries(batch->entries, batch->count);
    tav_rud_free(batch->entries);
    tav_rud_free(batch);
}

int32_t tav_id3_journal_batch_add(tav_id3_journal_batch *batch, tav_id3_context *context) {
    if (!batch || !context) return TAV_ERR_PARAM;
    if (!context->deferred) return TAV_ERR_STATE;
    wchar_t name[TAV_PATH_MAX];
    if (!tav_id3_journal_name(context->path, name)) return TAV_ERR_PARAM;
    wchar_t *path = grow(batch) ? tav_rud_strndup(context->path, wcslen(context->path)) : nullptr;
    wchar_t *journal = path ? tav_rud_strndup(name, wcslen(name)) : nullptr;
    if (!journal) return tav_rud_free(path), TAV_ERR_NOMEM;
    batch->entries[batch->count++] = batch_entry{path, journal, *context->deferred, kWaiting};
    tav_rud_free(context->deferred); // its section now belongs to the entry
    context->deferred = nullptr;
    return TAV_OK;
}

uint32_t tav_id3_journal_batch_waiting(const tav_id3_journal_batch *batch) { return batch ? batch->count : 0; }

uint64_t tav_id3_journal_batch_bytes(const tav_id3_journal_batch *batch) {
    uint64_t bytes = 0;
    for (uint32_t i = 0; batch && i < batch->count; ++i) bytes += batch->entries[i].commit.length;
    return bytes;
}

int32_t tav_id3_journal_batch_finish(tav_id3_journal_batch *batch) {
    if (!batch) return TAV_ERR_PARAM;
    const int32_t rc = batch->count ? finish(batch) : TAV_OK;
    free_entries(batch->entries, batch->count);
    batch->count = 0;
    return rc;
}
