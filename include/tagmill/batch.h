// CTagmillBatch: durable commits of many files for the cost of a few flushes.
/// @file
/// @brief The class CTagmillBatch, which groups the flushes of many commits.
#ifndef TAGMILL_BATCH_H
#define TAGMILL_BATCH_H

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "tagmill/engine.h"
#include "tagmill/export.h"

/// @brief Groups the commits of many objects so that they share their
/// flushes (an addition of this library).
///
/// A durable commit flushes three times: its journal, the journal's directory
/// entry and the file. An object given a batch (CTagmill::SetCommitBatch)
/// instead ends a commit that keeps the tag's length with its new bytes held
/// in the batch: Close() returns S_OK and the file still holds its old bytes.
/// Finish() then writes one journal per file system for all of them (named
/// after each file through hard links), makes it durable with one flush,
/// writes the files, makes them durable with one more flush and removes the
/// journals. A commit that must rewrite its file does so at once, durably, as
/// without a batch.
///
/// Until Finish() starts, the files keep their old bytes (a killed process
/// leaves them so; another open sees them); from then on a killed process or
/// a power cut leaves each file old or new, and the next open of a file
/// completes its change. Opening, through an object with this batch, a file
/// whose change waits here (by the same name or through another link to it)
/// finishes the batch first, so that the new edit starts from that change.
/// Objects on several threads may share one batch.
class TAGMILL_API CTagmillBatch {
public:
    CTagmillBatch();
    CTagmillBatch(const CTagmillBatch &) = delete;
    CTagmillBatch &operator=(const CTagmillBatch &) = delete;
    /// @brief Finishes what is still waiting (its result is lost: call
    /// Finish() to see it).
    ~CTagmillBatch();

    /// @brief Completes every commit that waits in its journal, and starts
    /// the batch over.
    /// @return S_OK; E_FAIL when some change did not reach its file: a
    /// change whose journal was written waits there, and the next open of the
    /// file completes it; any other is lost, and its file keeps its old bytes.
    long Finish();
    /// @brief The number of commits waiting for Finish().
    size_t Waiting() const;
    /// @brief The bytes those commits hold in memory until Finish().
    uint64_t WaitingBytes() const;

private:
    friend class CTagmill;
    long add(tav_id3_context &context);
    // Whether the file this path names has a change waiting here.
    bool holds(const std::wstring &path) const;

    mutable std::mutex m_lock;
    tav_id3_journal_batch *m_batch;
    std::vector<std::pair<uint64_t, uint64_t>> m_files; // device and file number of each waiting change
};

#endif
