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
// The journal is ".<name>.tagmill-journal" beside the file (a symbolic link
// followed). A
// batch of commits (journal_batch.cpp) writes one journal for many contents
// and gives it each content's journal name as a hard link, so a journal holds
// one section per content. All numbers big-endian:
//   0   8  "TMJOURN2"
//   8   4  number of sections
//  12      each section:
//            0  8  device of the content       } the content's identity: a
//            8  8  file number of the content  } section is followed only into
//           16  8  length before the commit    } this file, and only while its
//           24  8  length after the commit     } length lies between these two
//           32  4  number of regions
//           36     each region: 8-byte offset, 4-byte length, its bytes
//  end-8 8 checksum (see checksum() below) of every byte before it
// A journal that is short, fails its check or holds no section for the
// content is removed unread: its commit never touched the content.
#include <cstring>

#include "engine/edit_internal.h"
#include "engine/internal.h"
#include "engine/journal_internal.h"

namespace {

const char kMagic[8] = {'T', 'M', 'J', 'O', 'U', 'R', 'N', '2'};
const wchar_t kSuffix[] = L".tagmill-journal";
const uint32_t kHead = 12, kSectionHead = 36, kRegionHead = 12, kSum = 8;
const uint64_t kLargestJournal = 0x40000000; // a tag is at most 256 MiB

void put64(uint8_t *b, uint64_t v) {
    tav_put_be32(b, (uint32_t)(v >> 32));
    tav_put_be32(b + 4, (uint32_t)v);
}

uint64_t get64(const uint8_t *b) { return (uint64_t)tav_be32(b) << 32 | tav_be32(b + 4); }

// A 64-bit checksum that tells a whole journal from a torn or altered one:
// four lanes of little-endian 64-bit words, each mixed by a multiply and a
// rotation (so the four multiplications overlap), then the tail bytes and
// the length. Not a cryptographic hash: it guards against accidents.
uint64_t mix(uint64_t lane, uint64_t word) {
    const uint64_t v = (lane ^ word) * 0x9E3779B97F4A7C15ull;
    return v << 31 | v >> 33;
}

uint64_t le64(const uint8_t *b) {
    uint64_t v;
    memcpy(&v, b, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}

uint64_t checksum(const uint8_t *bytes, uint64_t length) {
    uint64_t lane[4] = {0x243F6A8885A308D3ull, 0x13198A2E03707344ull, 0xA4093822299F31D0ull, 0x082EFA98EC4E6C89ull};
    uint64_t at = 0;
    for (; length - at >= 32; at += 32)
        for (int i = 0; i < 4; ++i) lane[i] = mix(lane[i], le64(bytes + at + 8 * i));
    uint64_t h = mix(mix(mix(lane[0], lane[1]), lane[2]), lane[3]);
    for (; at < length; ++at) h = mix(h, bytes[at]);
    return mix(h, length);
}

// The size of the section at s, which must end by `end`; 0 when it does not.
uint64_t section_size(const uint8_t *s, const uint8_t *end) {
    const uint64_t room = (uint64_t)(end - s);
    if (room < kSectionHead) return 0;
    uint64_t at = kSectionHead;
    for (uint32_t i = 0, n = tav_be32(s + 32); i < n; ++i) {
        if (room - at < kRegionHead) return 0;
        at += kRegionHead + tav_be32(s + at + 8);
        if (at > room) return 0;
    }
    return at;
}

int32_t read_journal(int32_t handle, tav_id3_journal *j) {
    tav_file_identity id;
    if (tav_identify_file(handle, &id) != 0 || (uint64_t)id.size > kLargestJournal) return TAV_ERR_READ;
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

int32_t tav_id3_journal_write(const wchar_t *name, const tav_id3_journal &j) {
    int32_t handle = -1;
    if (tav_open(name, TAV_O_RDWR | TAV_O_CREAT | TAV_O_EXCL, &handle) != 0) return TAV_JOURNAL_UNAVAILABLE;
    int32_t rc = tav_write_at(handle, j.bytes, (uint32_t)j.length, 0) == (int32_t)j.length ? TAV_OK : TAV_ERR_WRITE;
    if (rc == TAV_OK && tav_flush(handle) != 0) rc = TAV_ERR_WRITE;
    if (tav_close(&handle) != 0 && rc == TAV_OK) rc = TAV_ERR_CLOSE;
    if (handle != -1) tav_close(&handle);
    if (rc == TAV_OK && tav_flush_directory_of(name) != 0) rc = TAV_ERR_WRITE;
    if (rc != TAV_OK) tav_unlink(name);
    return rc;
}

tav_id3_journal::~tav_id3_journal() { tav_rud_free(bytes); }

// The journal is named after the file itself, whatever path opened it: a
// symbolic link is followed first, so that an open through the link and an
// open of its target find the same journal. A hard link in another directory
// is a name of its own, and its journal is not seen from there.
bool tav_id3_journal_name(const wchar_t *path, wchar_t out[TAV_PATH_MAX]) {
    wchar_t file[TAV_PATH_MAX];
    return path && tav_resolve_path(path, file, TAV_PATH_MAX) != 0 &&
           tav_hidden_sibling(file, kSuffix, out, TAV_PATH_MAX) != 0;
}

int32_t tav_id3_journal_section(const tav_file_identity &id, const tav_id3_region *regions, uint32_t count,
                                tav_id3_journal *section) {
    uint64_t length = kSectionHead, after = (uint64_t)id.size;
    for (uint32_t i = 0; i < count; ++i) {
        length += kRegionHead + regions[i].length;
        if (regions[i].offset + regions[i].length > after) after = regions[i].offset + regions[i].length;
    }
    if (length > kLargestJournal) return TAV_JOURNAL_UNAVAILABLE;
    section->bytes = static_cast<uint8_t *>(tav_rud_malloc((size_t)length));
    if (!section->bytes) return TAV_ERR_NOMEM;
    section->length = length;
    uint8_t *b = section->bytes;
    put64(b, id.device);
    put64(b + 8, id.file);
    put64(b + 16, (uint64_t)id.size);
    put64(b + 24, after);
    tav_put_be32(b + 32, count);
    b += kSectionHead;
    for (uint32_t i = 0; i < count; ++i) {
        put64(b, regions[i].offset);
        tav_put_be32(b + 8, regions[i].length);
        memcpy(b + kRegionHead, regions[i].bytes, regions[i].length);
        b += kRegionHead + regions[i].length;
    }
    return TAV_OK;
}

int32_t tav_id3_journal_assemble(const tav_id3_span *sections, uint32_t count, tav_id3_journal *j) {
    uint64_t length = kHead + kSum;
    for (uint32_t i = 0; i < count; ++i) length += sections[i].length;
    if (length > kLargestJournal) return TAV_JOURNAL_UNAVAILABLE;
    j->bytes = static_cast<uint8_t *>(tav_rud_malloc((size_t)length));
    if (!j->bytes) return TAV_ERR_NOMEM;
    j->length = length;
    memcpy(j->bytes, kMagic, 8);
    tav_put_be32(j->bytes + 8, count);
    uint8_t *b = j->bytes + kHead;
    for (uint32_t i = 0; i < count; b += sections[i++].length) memcpy(b, sections[i].bytes, (size_t)sections[i].length);
    put64(b, checksum(j->bytes, length - kSum));
    return TAV_OK;
}

bool tav_id3_journal_matches(const uint8_t *s, const tav_file_identity &id) {
    const uint64_t size = (uint64_t)id.size;
    return get64(s) == id.device && get64(s + 8) == id.file && size >= get64(s + 16) && size <= get64(s + 24);
}

const uint8_t *tav_id3_journal_find(const tav_id3_journal &j, const tav_file_identity &id) {
    const uint8_t *b = j.bytes;
    if (j.length < kHead + kSum || memcmp(b, kMagic, 8) != 0) return nullptr;
    if (get64(b + j.length - kSum) != checksum(b, j.length - kSum)) return nullptr;
    const uint8_t *end = b + j.length - kSum, *at = b + kHead, *found = nullptr;
    for (uint32_t i = 0, n = tav_be32(b + 8); i < n; ++i) {
        const uint64_t size = section_size(at, end);
        if (size == 0) return nullptr;
        if (!found && tav_id3_journal_matches(at, id)) found = at;
        at += size;
    }
    return at == end ? found : nullptr;
}

int32_t tav_id3_journal_apply(const uint8_t *section, int32_t handle) {
    for (uint32_t i = 0, n = tav_be32(section + 32), at = kSectionHead; i < n; ++i) {
        const uint32_t length = tav_be32(section + at + 8);
        if (tav_write_at(handle, section + at + kRegionHead, length, (int64_t)get64(section + at)) != (int32_t)length)
            return TAV_ERR_WRITE;
        at += kRegionHead + length;
    }
    return TAV_OK;
}

int32_t tav_id3_journal_commit(tav_id3_context *context, const tav_id3_region *regions, uint32_t count) {
    wchar_t name[TAV_PATH_MAX];
    tav_file_identity id;
    if (!tav_id3_journal_name(context->path, name) || tav_identify_file(context->handle, &id) != 0)
        return TAV_JOURNAL_UNAVAILABLE;
    tav_id3_journal section, j;
    int32_t rc = tav_id3_journal_section(id, regions, count, &section);
    if (rc != TAV_OK) return rc;
    // A batched commit ends here: its batch writes the journal.
    if (context->defer_journal) return tav_id3_defer_commit(context, &section, id.device);
    const tav_id3_span sections[] = {{section.bytes, section.length}};
    if ((rc = tav_id3_journal_assemble(sections, 1, &j)) != TAV_OK || (rc = tav_id3_journal_write(name, j)) != TAV_OK)
        return rc;
    // From here the journal stands for the new bytes. A write that fails is
    // tried once more; failing again, the content is left for the next open
    // to complete, and the transaction, whose offsets may no longer hold,
    // ends with the failure.
    const int32_t handle = context->handle;
    for (int attempt = 0; (rc = tav_id3_journal_apply(section.bytes, handle)) != TAV_OK || tav_flush(handle) != 0;)
        if (++attempt == 2) {
            tav_id3_v2_edit_release(context);
            return rc != TAV_OK ? rc : TAV_ERR_WRITE;
        }
    tav_unlink(name); // a journal left behind is valid and only writes these bytes again
    return TAV_OK;
}

int32_t tav_id3_recover(const wchar_t *path) {
    wchar_t name[TAV_PATH_MAX];
    int32_t handle = -1;
    if (!tav_id3_journal_name(path, name) || tav_open(name, TAV_O_RDONLY, &handle) != 0) return TAV_OK;
    tav_id3_journal j;
    int32_t rc = read_journal(handle, &j);
    tav_close(&handle);
    if (rc != TAV_OK) return TAV_ERR_OPEN;
    int32_t opened = tav_open(path, TAV_O_RDWR, &handle);
    if (opened == TAV_OPEN_NOT_FOUND) return tav_unlink(name), TAV_OK;
    if (opened != 0) return TAV_ERR_OPEN;
    tav_file_identity id;
    const uint8_t *section = nullptr;
    if (tav_identify_file(handle, &id) != 0)
        rc = TAV_ERR_OPEN;
    else if ((section = tav_id3_journal_find(j, id)) != nullptr)
        rc = tav_id3_journal_apply(section, handle) == TAV_OK && tav_flush(handle) == 0 ? TAV_OK : TAV_ERR_OPEN;
    tav_close(&handle);
    if (rc != TAV_OK) return rc;
    tav_unlink(name);
    return TAV_OK;
}

int32_t tav_id3_journal_pending(const wchar_t *path) {
    wchar_t name[TAV_PATH_MAX];
    return tav_id3_journal_name(path, name) && tav_file_type(name) == TAV_FILE_TYPE_REGULAR;
}
