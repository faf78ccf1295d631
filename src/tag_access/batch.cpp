// CTagmillBatch: in-place commits held back so that they share their
// flushes; the engine's journal batch does the writing, this class adds the
// lock that lets objects on several threads share one batch.
#include "tagmill/batch.h"

#include <algorithm>

#include "tagmill/result.h"

CTagmillBatch::CTagmillBatch() : m_batch(tav_id3_journal_batch_create()) {}

CTagmillBatch::~CTagmillBatch() {
    Finish();
    tav_id3_journal_batch_destroy(m_batch);
}

long CTagmillBatch::add(tav_id3_context &context) {
    tav_file_identity id;
    if (tav_identify_file(context.handle, &id) != 0) return tagmill::E_FAIL; // the change is lost, the file old
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_batch || tav_id3_journal_batch_add(m_batch, &context) != TAV_OK) return tagmill::E_OUTOFMEMORY;
    m_files.emplace_back(id.device, id.file);
    return tagmill::S_OK;
}

// Two names of one file are one file: the batch knows its files by device
// and file number. An empty batch needs no look at the file.
bool CTagmillBatch::holds(const std::wstring &path) const {
    tav_file_identity id;
    if (Waiting() == 0 || tav_identify_path(path.c_str(), &id) != 0) return false;
    const std::pair<uint64_t, uint64_t> file(id.device, id.file);
    std::lock_guard<std::mutex> hold(m_lock);
    return std::find(m_files.begin(), m_files.end(), file) != m_files.end();
}

size_t CTagmillBatch::Waiting() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_files.size();
}

uint64_t CTagmillBatch::WaitingBytes() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return tav_id3_journal_batch_bytes(m_batch);
}

long CTagmillBatch::Finish() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_files.clear();
    return tav_id3_journal_batch_finish(m_batch) == TAV_OK ? tagmill::S_OK : tagmill::E_FAIL;
}
