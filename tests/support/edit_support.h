// Helpers for the edit-transaction tests: a content under edit in a scratch
// directory with its own $TMPDIR (so leftover temporary files can be seen),
// frame IDs and appends, and the transaction's frame list.
#ifndef TAGMILL_TEST_EDIT_SUPPORT_H
#define TAGMILL_TEST_EDIT_SUPPORT_H

#include "engine/edit_internal.h"
#include "support/context_support.h"
#include "support/crash_support.h"

namespace testsupport {

// A TempDir whose "tmp" subdirectory is $TMPDIR while the object lives.
class EditScratch {
public:
    EditScratch() : m_tmp(m_dir.file("tmp")), m_env(m_tmp) { MakeDirectory(m_tmp); }
    std::string file(const std::string &name) const { return m_dir.file(name); }
    // Temporary files beside the content, and id3* ones in $TMPDIR.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> names = StagingLeftovers(m_dir.path()), tmp = TempFilesWithPrefix(m_tmp);
        names.insert(names.end(), tmp.begin(), tmp.end());
        return names;
    }

private:
    TempDir m_dir;
    std::string m_tmp;
    ScopedTmpDir m_env;
};

// One content under edit: a file in an EditScratch (mode 2, with or without
// AIFF handling) or a memory copy. An open transaction is dropped on exit,
// since destroying a context leaves the frame list alone.
class EditSession {
public:
    ~EditSession() {
        if (get()->edit && get()->transaction_state == TAV_TRANSACTION_V2_EDIT) tav_id3_v2_edit_release(get());
    }
    // A content without a tag gets an empty ID3v2.3 tag when it opens.
    int32_t OpenFile(const Bytes &bytes, int32_t mode = 2, int32_t aiff = 0) {
        WriteFile(scratch.file("content"), bytes);
        m_file = true;
        tav_id3_v2_header header{};
        header.version = TAV_ID3_V23;
        return context.OpenFile(Widen(scratch.file("content")), mode, aiff, &header);
    }
    int32_t OpenMemory(const Bytes &bytes) { return context.OpenMemory(bytes); }
    // The file's bytes, or the memory image's valid bytes.
    Bytes Content() {
        if (m_file) return ReadFile(scratch.file("content"));
        const tav_id3_memory_content *memory = get()->memory;
        return Bytes(memory->buffer, memory->buffer + memory->data_length);
    }
    tav_id3_context *get() { return context.get(); }
    tav_id3_context *operator->() { return context.get(); }
    EditScratch scratch;
    Context context;

private:
    bool m_file = false;
};

// "TIT2" -> 0x54495432, "TT2" -> 0x54543200.
inline uint32_t FrameId(const std::string &id) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value = value << 8 | (i < id.size() ? static_cast<uint8_t>(id[i]) : 0);
    return value;
}

// Appends a frame with the given ID and payload; base supplies the flags.
inline int32_t AddFrame(tav_id3_context *context, const std::string &id, const Bytes &payload,
                        tav_id3_v2_frame_header base = {}) {
    base.id = FrameId(id);
    base.size = static_cast<uint32_t>(payload.size());
    static const uint8_t empty = 0;
    return tav_id3_v2_add_frame(context, &base, payload.empty() ? &empty : payload.data());
}

inline std::vector<tav_id3_v2_frame_entry *> Entries(tav_id3_context *context) {
    std::vector<tav_id3_v2_frame_entry *> entries;
    for (tav_id3_v2_frame_node *node = context->edit->frames; node; node = node->next) entries.push_back(node->entry);
    return entries;
}

} // namespace testsupport

#endif
