// The in-place commit and its redo journal. When a commit changes only bytes
// that keep their place (a tag rewritten at its old length, the ID3v1 tag),
// those bytes are first written, with the file's identity, to a journal file
// beside the content; only once the journal is complete (and, with flushes
// on, durable) are they written over the content, which is then flushed and
// the journal removed. A commit killed at any moment leaves either no valid
// journal and the old content untouched, or a valid journal that the next
// open of the content (tav_id3_recover, run by every context creation)
// writes again in full before anything reads the tag.
//
// The journal is ".<name>.tagmill-journal" in the content's directory. All
// numbers big-endian:
//   0   8  "TMJOURN1"
//   8   8  device of the content       } the content's identity: a journal
//  16   8  file number of the content  } is followed only into this file,
//  24   8  length before the commit    } and only while its length lies
//  32   8  length after the commit     } between these two
//  40   4  number of regions
//  44      each region: 8-byte offset, 4-byte length, its bytes
//  end-8 8 FNV-1a (64-bit) of every byte before it
// A journal that is short, fails its check or names another file is removed
// unread: its commit never touched the content.
#include <cstring>

#include "engine/edit_internal.h"
#include "engine/internal.h"

namespace {

const char kMagic[8] = {'T', 'M', 'J', 'O', 'U', 'R', 'N', '1'};
const wchar_t kSuffix[] = L".tagmill-journal";
const uint32_t kHead = 44, kRegionHead = 12, kSum = 8;
const int64_t kLargestJournal = 0x40000000; // a tag is at most 256 MiB

void put64(uint8_t *b, uint64_t v) {
    tav_put_be32(b, (uint32_t)(v >> 32));
    tav_put_be32(b + 4, (uint32_t)v);
}

uint64_t get64(const uint8_t *b) { return (uint64_t)tav_be32(b) << 32 | tav_be32(b + 4); }

uint64_t checksum(const uint8_t *bytes, uint64_t length) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint64_t i = 0; i < length; ++i) h = (h ^ bytes[i]) * 0x100000001b3ull;
    return h;
}

struct journal {
    uint8_t *bytes = nullptr; // tav_rud_* heap
    uint64_t length = 0;
    ~journal() { tav_rud_free(bytes); }
};

// The journal is named after the file itself, whatever path opened it: a
// symbolic link is followed first, so that an open through the link and an
// open of its target find the same journal. A hard link in another directory
// is a name of its own, and its journal is not seen from there.
bool journal_path(const wchar_t *path, wchar_t out[TAV_PATH_MAX]) {
    wchar_t file[TAV_PATH_MAX];
    return path && tav_resolve_path(path, file, TAV_PATH_MAX) != 0 &&
           tav_hidden_sibling(file, kSuffix, out, TAV_PATH_MAX) != 0;
}

int32_t compose(const tav_file_identity &id, const tav_id3_region *regions, uint32_t count, journal *j) {
    uint64_t length = kHead + kSum, after = (uint64_t)id.size;
    for (uint32_t i = 0; i < count; ++i) {
        length += kRegionHead + regions[i].length;
        if (regions[i].offset + regions[i].length > after) after = regions[i].offset + regions[i].length;
    }
    if (length > (uint64_t)kLargestJournal) return TAV_JOURNAL_UNAVAILABLE;
    j->bytes = static_cast<uint8_t *>(tav_rud_malloc((size_t)length));
    if (!j->bytes) return TAV_ERR_NOMEM;
    j->length = length;
    uint8_t *b = j->bytes;
    memcpy(b, kMagic, 8);
    put64(b + 8, id.device);
    put64(b + 16, id.file);
    put64(b + 24, (uint64_t)id.size);
    put64(b + 32, after);
    tav_put_be32(b + 40, count);
    b += kHead;
    for (uint32_t i = 0; i < count; ++i) {
        put64(b, regions[i].offset);
        tav_put_be32(b + 8, regions[i].length);
        memcpy(b + kRegionHead, regions[i].bytes, regions[i].length);
        b += kRegionHead + regions[i].length;
    }
    put64(b, checksum(j->bytes, length - kSum));
    return TAV_OK;
}

// Whether the journal is whole and meant for the file with this identity.
bool valid_for(const journal &j, const tav_file_identity &id) {
    const uint8_t *b = j.bytes;
    if (j.length < kHead + kSum || memcmp(b, kMagic, 8) != 0) return false;
    if (get64(b + j.length - kSum) != checksum(b, j.length - kSum)) return false;
    uint64_t size = (uint64_t)id.size;
    if (get64(b + 8) != id.device || get64(b + 16) != id.file) return false;
    if (size < get64(b + 24) || size > get64(b + 32)) return false;
    uint64_t at = kHead;
    for (uint32_t i = 0, n = tav_be32(b + 40); i < n; ++i) {
        if (j.length - kSum - at < kRegionHead) return false;
        at += kRegionHead + tav_be32(b + at + 8);
        if (at > j.length - kSum) return false;
    }
    return at == j.length - kSum;
}

// Writes every region of a valid journal over the content, then flushes it.
int32_t apply(const journal &j, int32_t handle) {
    const uint8_t *b = j.bytes;
    for (uint32_t i = 0, n = tav_be32(b + 40), at = kHead; i < n; ++i) {
        const uint32_t length = tav_be32(b + at + 8);
        if (tav_write_at(handle, b + at + kRegionHead, length, (int64_t)get64(b + at)) != (int32_t)length)
            return TAV_ERR_WRITE;
        at += kRegionHead + length;
    }
    return tav_flush(handle) == 0 ? TAV_OK : TAV_ERR_WRITE;
}

// Creates the journal file (refused when one is there already) and makes it
// complete and, with flushes on, durable with its directory entry.
int32_t write_journal(const wchar_t *path, const journal &j) {
    int32_t handle = -1;
    if (tav_open(path, TAV_O_RDWR | TAV_O_CREAT | TAV_O_EXCL, &handle) != 0) return TAV_JOURNAL_UNAVAILABLE;
    int32_t rc = tav_write_at(handle, j.bytes, (uint32_t)j.length, 0) == (int32_t)j.length ? TAV_OK : TAV_ERR_WRITE;
    if (rc == TAV_OK && tav_flush(handle) != 0) rc = TAV_ERR_WRITE;
    if (tav_close(&handle) != 0 && rc == TAV_OK) rc = TAV_ERR_CLOSE;
    if (handle != -1) tav_close(&handle);
    if (rc == TAV_OK && tav_flush_directory_of(path) != 0) rc = TAV_ERR_WRITE;
    if (rc != TAV_OK) tav_unlink(path);
    return rc;
}

int32_t read_journal(int32_t handle, journal *j) {
    tav_file_identity id;
    if (tav_identify_file(handle, &id) != 0 || id.size > kLargestJournal) return TAV_ERR_READ;
    j->bytes = static_cast<uint8_t *>(tav_rud_malloc(id.size ? (size_t)id.size : 1));
    if (!j->bytes) return TAV_ERR_NOMEM;
    j->length = (uint64_t)id.size;
    for (uint64_t done = 0; done < j->length;) {
        int32_t got = tav_read(handle, j->bytes + done, (uint32_t)(j->length - done));
        if (got <= 0) return TAV_ERR_READ;
        done += (uint32_t)got;
    }
    return TAV_OK;
}

} // namespace

int32_t tav_id3_journal_commit(tav_id3_context *context, const tav_id3_region *regions, uint32_t count) {
    wchar_t path[TAV_PATH_MAX];
    tav_file_identity id;
    if (!journal_path(context->path, path) || tav_identify_file(context->handle, &id) != 0)
        return TAV_JOURNAL_UNAVAILABLE;
    journal j;
    int32_t rc = compose(id, regions, count, &j);
    if (rc == TAV_OK) rc = write_journal(path, j);
    if (rc != TAV_OK) return rc;
    // From here the journal stands for the new bytes. A write that fails is
    // tried once more; failing again, the content is left for the next open
    // to complete, and the transaction, whose offsets may no longer hold,
    // ends with the failure.
    if (apply(j, context->handle) != TAV_OK && (rc = apply(j, context->handle)) != TAV_OK) {
        tav_id3_v2_edit_release(context);
        return rc;
    }
    tav_unlink(path); // a journal left behind is valid and only writes these bytes again
    return TAV_OK;
}

int32_t tav_id3_recover(const wchar_t *path) {
    wchar_t name[TAV_PATH_MAX];
    int32_t handle = -1;
    if (!journal_path(path, name) || tav_open(name, TAV_O_RDONLY, &handle) != 0) return TAV_OK;
    journal j;
    int32_t rc = read_journal(handle, &j);
    tav_close(&handle);
    if (rc != TAV_OK) return TAV_ERR_OPEN;
    int32_t opened = tav_open(path, TAV_O_RDWR, &handle);
    if (opened == TAV_OPEN_NOT_FOUND) return tav_unlink(name), TAV_OK;
    if (opened != 0) return TAV_ERR_OPEN;
    tav_file_identity id;
    rc = tav_identify_file(handle, &id) != 0 ? TAV_ERR_OPEN : valid_for(j, id) ? apply(j, handle) : TAV_OK;
    tav_close(&handle);
    if (rc != TAV_OK) return TAV_ERR_OPEN;
    tav_unlink(name);
    return TAV_OK;
}

int32_t tav_id3_journal_pending(const wchar_t *path) {
    wchar_t name[TAV_PATH_MAX];
    return journal_path(path, name) && tav_file_type(name) == TAV_FILE_TYPE_REGULAR;
}
