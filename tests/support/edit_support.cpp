// Implementation of the edit-transaction test helpers.
#include "support/edit_support.h"

#include "engine/edit_internal.h"

namespace testsupport {

EditScratch::EditScratch() : m_tmp(m_dir.file("tmp")), m_env(m_tmp) { MakeDirectory(m_tmp); }

EditSession::~EditSession() {
    tav_id3_context *c = context.get();
    if (c->edit && c->transaction_state == TAV_TRANSACTION_V2_EDIT) tav_id3_v2_edit_release(c);
}

int32_t EditSession::OpenFile(const Bytes &bytes, int32_t mode, int32_t aiff) {
    WriteFile(scratch.file("content"), bytes);
    m_file = true;
    // A content without a tag gets an empty ID3v2.3 tag when it opens.
    tav_id3_v2_header header{};
    header.version = TAV_ID3_V23;
    return context.OpenFile(Widen(scratch.file("content")), mode, aiff, &header);
}

Bytes EditSession::Content() {
    if (m_file) return ReadFile(scratch.file("content"));
    const tav_id3_memory_content *memory = context.get()->memory;
    return Bytes(memory->buffer, memory->buffer + memory->data_length);
}

uint32_t FrameId(const std::string &id) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value = value << 8 | (i < id.size() ? (uint8_t)id[i] : 0);
    return value;
}

int32_t AddFrame(tav_id3_context *context, const std::string &id, const Bytes &payload,
                 tav_id3_v2_frame_header base) {
    base.id = FrameId(id);
    base.size = static_cast<uint32_t>(payload.size());
    static const uint8_t empty = 0;
    return tav_id3_v2_add_frame(context, &base, payload.empty() ? &empty : payload.data());
}

std::vector<tav_id3_v2_frame_entry *> Entries(tav_id3_context *context) {
    std::vector<tav_id3_v2_frame_entry *> entries;
    for (tav_id3_v2_frame_node *node = context->edit->frames; node; node = node->next) entries.push_back(node->entry);
    return entries;
}

} // namespace testsupport
