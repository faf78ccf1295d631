// Failures while an edit ends, by rewrite or in place: each kind of system
// call that ending an edit makes is failed at its 1st, 2nd, ... call until the
// edit gets through. Every failure must leave the content as it was, no
// temporary file behind and the transaction open, so that ending it again
// gives the right bytes.
#include <gtest/gtest.h>

#include <functional>

#include "support/edit_support.h"

using namespace testsupport;

namespace {

struct FaultPlan {
    tav_op op;
    int target, seen;
};

int FailNth(tav_op op, void *user) {
    FaultPlan *plan = static_cast<FaultPlan *>(user);
    return op == plan->op && ++plan->seen == plan->target;
}

using Edit = std::function<int32_t(tav_id3_context *)>;

struct Scenario {
    const char *name;
    Bytes content;
    bool memory;
    int32_t aiff;
    Edit edit;
};

// Between them the scenarios take every step of the rewrite: bytes before
// the tag, an extended header, frames copied through unsynchronisation, a
// footer, AIFF sizes, and the read-back into a memory image.
std::vector<Scenario> Scenarios() {
    const Bytes audio = FakeAudio(160); // more than one 64 KiB copy piece
    const Bytes frames = Concat({Frame23("TIT2", Bytes(20, 'a')), Frame23("COMM", Bytes(30, 'c'))});
    const Bytes tag23 = Concat({Id3Header(3, 0, 0, static_cast<uint32_t>(frames.size() + 100)), frames, Bytes(100, 0)});
    const Bytes withEx = Concat({Id3Header(3, 0, 0x40, static_cast<uint32_t>(frames.size() + 110)), Bytes{0, 0, 0, 6},
                                 Bytes(6, 0), frames, Bytes(100, 0)});
    // Unsynchronised: the 0x00 after the 0xFF is not part of the frame.
    const Bytes unsynced = Concat({Id3Header(3, 0, 0x80, 36), Ascii("TIT2"), Be32(5), Bytes{0, 0, 1, 0xFF, 0, 0xFE, 0x41, 0},
                                   Frame23("COMM", Bytes(8, 'c')), Bytes(2, 0)});
    const Bytes footerAtEnd = Concat({audio, Id3Header(4, 0, 0x10, 16), Frame24("TPE1", Ascii("artist")), Ascii("3DI"),
                                      Bytes{4, 0, 0x10}, Syncsafe(16), TagV1("title")});
    const Bytes aiffTag = Concat({Id3Header(3, 0, 0, 15), Frame23("TIT2", Bytes(5, 't'))});
    const Bytes aiff = Form("AIFF", {{"COMM", AiffComm()}, {"ID3 ", aiffTag}, {"SSND", Concat({Bytes(8, 0), audio})}});
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

// Fails the n-th call of op, for n = 1, 2, ... until the end of the edit
// succeeds; returns the number of failures checked.
int FailEveryCall(const Scenario &sc, tav_op op, const Bytes &expected) {
    for (int n = 1; n < 5000; ++n) {
        SCOPED_TRACE(testing::Message() << "failing call " << n);
        EditSession s;
        if (Open(s, sc) != TAV_OK) return ADD_FAILURE() << "setup failed", n;
        const Bytes before = s.Content();
        const size_t entries = Entries(s.get()).size();
        FaultPlan plan = {op, n, 0};
        tav_set_fault_hook(FailNth, &plan);
        const int32_t rc = tav_id3_v2_edit_end(s.get());
        tav_set_fault_hook(nullptr, nullptr);
        EXPECT_TRUE(s.scratch.Leftovers().empty());
        if (rc == TAV_OK) {
            EXPECT_EQ(expected, s.Content());
            return n - 1;
        }
        if (op == TAV_OP_OPEN && rc == TAV_ERR_OPEN && !sc.memory) {
            // The reopen after the move: the new content is in place, and the
            // transaction (whose offsets described the old one) is over.
            EXPECT_EQ(expected, s.Content());
            EXPECT_EQ(TAV_TRANSACTION_NONE, s->transaction_state);
            continue;
        }
        EXPECT_EQ(before, s.Content()) << "result " << rc;
        EXPECT_EQ(TAV_TRANSACTION_V2_EDIT, s->transaction_state);
        EXPECT_EQ(entries, Entries(s.get()).size());
        EXPECT_EQ(TAV_OK, tav_id3_v2_edit_end(s.get())) << "after result " << rc;
        EXPECT_EQ(expected, s.Content());
        EXPECT_TRUE(s.scratch.Leftovers().empty());
        if (testing::Test::HasFailure()) return n;
    }
    ADD_FAILURE() << "the edit never got through";
    return 0;
}

TEST(RewriteFaults, FailureLeavesContentAndTransactionIntact) {
    const std::vector<Scenario> scenarios = Scenarios();
    std::vector<Bytes> expected;
    for (const Scenario &sc : scenarios) {
        EditSession clean;
        ASSERT_EQ(TAV_OK, Open(clean, sc)) << sc.name;
        ASSERT_EQ(TAV_OK, tav_id3_v2_edit_end(clean.get())) << sc.name;
        expected.push_back(clean.Content());
    }
    // No commit that succeeds deletes a file (a journal that stays is only
    // written again by the next open) or cuts one short, so those calls are
    // not failed here.
    for (tav_op op : {TAV_OP_WRITE, TAV_OP_LSEEK, TAV_OP_READ, TAV_OP_CLOSE, TAV_OP_OPEN, TAV_OP_RENAME,
                      TAV_OP_TEMP_NAME, TAV_OP_ALLOC, TAV_OP_FSYNC}) {
        SCOPED_TRACE(testing::Message() << "operation " << op);
        int checked = 0;
        for (size_t i = 0; i < scenarios.size() && !HasFailure(); ++i) {
            SCOPED_TRACE(scenarios[i].name);
            checked += FailEveryCall(scenarios[i], op, expected[i]);
        }
        EXPECT_GT(checked, 0) << "no call of this kind was made";
    }
}

} // namespace
