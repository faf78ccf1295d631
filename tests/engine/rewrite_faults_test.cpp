// Failures while an edit ends, by rewrite or in place: each system call that
// ending an edit makes is failed in turn. Every failure must leave the content
// as it was, no temporary file behind and the transaction open, so that ending
// it again gives the right bytes.
#include "support/crash_support.h"
#include "support/edit_support.h"

using namespace testsupport;

namespace {

using Edit = std::function<int32_t(tav_id3_context *)>;

struct Scenario { const char *name; Bytes content; bool memory; int32_t aiff; Edit edit; };

// Between them the scenarios take every step of the rewrite: bytes before
// the tag, an extended header, frames copied through unsynchronisation, a
// footer, AIFF sizes, and the read-back into a memory image.
std::vector<Scenario> Scenarios() {
    const Bytes audio = FakeAudio(160); // more than one 64 KiB copy piece
    const Bytes frames = Concat({Frame23("TIT2", Bytes(20, 'a')), Frame23("COMM", Bytes(30, 'c'))});
    const Bytes tag23 = Id3Tag(3, Concat({frames, Bytes(100, 0)}));
    const Bytes withEx = Id3Tag(3, Concat({Bytes{0, 0, 0, 6}, Bytes(6, 0), frames, Bytes(100, 0)}), 0x40);
    // Unsynchronised: the 0x00 after the 0xFF is not part of the frame.
    const Bytes unsynced = Id3Tag(3, Concat({Ascii("TIT2"), Be32(5), Bytes{0, 0, 1, 0xFF, 0, 0xFE, 0x41, 0},
                                             Frame23("COMM", Bytes(8, 'c')), Bytes(2, 0)}), 0x80);
    const Bytes footerAtEnd = Concat({audio, Id3Header(4, 0, 0x10, 16), Frame24("TPE1", Ascii("artist")), Ascii("3DI"),
                                      Bytes{4, 0, 0x10}, Syncsafe(16), TagV1("title")});
    const Bytes aiff = Form("AIFF", {{"COMM", AiffComm()}, {"ID3 ", Id3Tag(3, Frame23("TIT2", Bytes(5, 't')))},
                                     {"SSND", Concat({Bytes(8, 0), audio})}});
    const Edit append = [](tav_id3_context *c) { return AddFrame(c, "TIT2", Bytes(400, 't')); };
    const Edit small = [](tav_id3_context *c) { return AddFrame(c, "TPE1", Bytes(40, 'p')); };
    const Edit retitle = [](tav_id3_context *c) {
        int32_t rc = tav_id3_v2_remove_frame(c, FrameId("COMM"), 0);
        if (rc == TAV_OK) rc = tav_id3_v2_remove_frame(c, FrameId("TIT2"), 0);
        return rc == TAV_OK ? AddFrame(c, "TIT2", Bytes(300, 't')) : rc;
    };
    const Edit keepEx = [retitle](tav_id3_context *c) {
        const tav_id3_v2_header_flags flags = {0, 0, 1, 0, 0};
        int32_t rc = tav_id3_v2_set_header_flag_info(c, &flags);
        return rc == TAV_OK ? retitle(c) : rc;
    };
    return {
        {"v2.3 file with an extended header", Concat({withEx, audio}), false, 0, keepEx},
        {"unsynchronised tag", Concat({unsynced, audio}), false, 0, append},
        {"footer tag at the end", footerAtEnd, false, 0, append},
        {"aiff", aiff, false, 1, append},
        {"memory", Concat({tag23, audio}), true, 0, retitle},
        {"in place", Concat({tag23, audio, TagV1("title")}), false, 0, small},
    };
}

int32_t Open(EditSession &s, const Scenario &sc) {
    int32_t rc = sc.memory ? s.OpenMemory(sc.content) : s.OpenFile(sc.content, 2, sc.aiff);
    if (rc == TAV_OK) rc = tav_id3_v2_edit_begin(s.get());
    return rc == TAV_OK ? sc.edit(s.get()) : rc;
}

// The clean edit's operations are recorded; then each of them in turn is
// failed in a fresh session.
TEST(RewriteFaults, FailureLeavesContentAndTransactionIntact) {
    std::set<tav_op> failed;
    for (const Scenario &sc : Scenarios()) {
        SCOPED_TRACE(sc.name);
        EditSession clean;
        ASSERT_EQ(TAV_OK, Open(clean, sc));
        OpRecorder trace;
        {
            ScopedFaultHook hook(RecordOp, &trace);
            ASSERT_EQ(TAV_OK, tav_id3_v2_edit_end(clean.get()));
        }
        const Bytes expected = clean.Content();
        for (size_t i = 0; i < trace.ops.size() && !HasFailure(); ++i) {
            EditSession s;
            ASSERT_EQ(TAV_OK, Open(s, sc));
            const Bytes before = s.Content();
            const size_t entries = Entries(s.get()).size();
            FailAtIndex plan{i};
            int32_t rc;
            {
                ScopedFaultHook hook(FailOpAt, &plan);
                rc = tav_id3_v2_edit_end(s.get());
            }
            SCOPED_TRACE(testing::Message() << "failing operation " << plan.op << " at " << i << ", result " << rc);
            ASSERT_TRUE(plan.fired);
            failed.insert(plan.op);
            EXPECT_TRUE(s.scratch.Leftovers().empty());
            // A failure stepped around, or the reopen after the move: the new
            // content is in place, and the transaction (whose offsets described
            // the old one) is over.
            if (rc == TAV_OK || (plan.op == TAV_OP_OPEN && rc == TAV_ERR_OPEN && !sc.memory)) {
                EXPECT_EQ(expected, s.Content());
                EXPECT_EQ(TAV_TRANSACTION_NONE, s->transaction_state);
                continue;
            }
            EXPECT_EQ(before, s.Content());
            EXPECT_EQ(TAV_TRANSACTION_V2_EDIT, s->transaction_state);
            EXPECT_EQ(entries, Entries(s.get()).size());
            EXPECT_EQ(TAV_OK, tav_id3_v2_edit_end(s.get()));
            EXPECT_EQ(expected, s.Content());
            EXPECT_TRUE(s.scratch.Leftovers().empty());
        }
    }
    // No commit that succeeds deletes a file (a journal that stays is only
    // written again by the next open) or cuts one short, so those calls are
    // not required here.
    for (tav_op op : {TAV_OP_WRITE, TAV_OP_LSEEK, TAV_OP_READ, TAV_OP_CLOSE, TAV_OP_OPEN, TAV_OP_RENAME,
                      TAV_OP_TEMP_NAME, TAV_OP_ALLOC, TAV_OP_FSYNC})
        EXPECT_EQ(1u, failed.count(op)) << "no call of operation " << op << " was failed";
}

} // namespace
