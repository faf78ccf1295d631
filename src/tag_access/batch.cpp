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
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_batch || tav_id3_journal_batch_add(m_batch, &context) != TAV_OK) return tagmill::E_OUTOFMEMORY;
    m_paths.emplace_back(context.path);
    return tagmill::S_OK;
}

bool CTagmillBatch::holds(const std::wstring &path) const {
    std::lock_guard<std::mutex> hold(m_lock);
    return std::find(m_paths.begin(), m_paths.end(), path) != m_paths.end();
}

size_t CTagmillBatch::Waiting() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_paths.size();
}

uint64_t CTagmillBatch::WaitingBytes() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return tav_id3_journal_batch_bytes(m_batch);
}

long CTagmillBatch::Finish() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_paths.clear();
    return tav_id3_journal_batch_finish(m_batch) == TAV_OK ? tagmill::S_OK : tagmill::E_FAIL;
}
