// A commit that fails part-way: every call of each kind that Close makes is
// failed in turn. Until the rewritten file replaces the original, the original
// stays byte for byte; after that only the ID3v1 fields may lag. No temporary
// file is ever left behind, and the object ends up Closed.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/test_support.h"
#include "tagmill/platform.h"
#include "tagmill/tagmill.h"

using namespace testsupport;
using namespace tagmill;

namespace {

struct NthFailure {
    tav_op op;
    int n;
    int seen = 0;
    bool renamed = false;       // the temporary file has been moved over the content
    bool beforeRename = false;  // the failure came before that move
};

int FailNth(tav_op op, void *user) {
    auto *f = static_cast<NthFailure *>(user);
    if (op == TAV_OP_RENAME) f->renamed = true;
    if (op != f->op || ++f->seen != f->n) return 0;
    f->beforeRename = !f->renamed;
    return 1;
}

// Opens for writing, puts an artist and closes, with the failure armed during
// Close when one is given. Returns Close's result.
long PutAndClose(const std::string &path, NthFailure *failure) {
    CTagmill t;
    EXPECT_EQ(S_OK, t.Open(Widen(path), 2));
    EXPECT_EQ(S_OK, t.PutString(4624, {L"New artist"}));
    if (failure) tav_set_fault_hook(FailNth, failure);
    const long hr = t.Close();
    tav_set_fault_hook(nullptr, nullptr);
    EXPECT_EQ(E_UNEXPECTED, t.PutString(4624, {})) << "Close clears the object whatever the result";
    return hr;
}

TEST(CommitFaults, FailureAtEveryStepKeepsTheFileWhole) {
    TempDir dir;
    const std::string tmp = dir.file("tmp");
    ASSERT_TRUE(MakeDirectory(tmp));
    ScopedTmpDir scopedTmp(tmp);

    // Large enough audio that the rewrite copies it in several pieces.
    const Bytes original = Concat({Id3Header(3, 0, 0, 64), Frame23("TIT2", Latin1Text("Old", true)), Bytes(51, 0),
                                   FakeAudio(25), TagV1("Old", "", "", 3, 1)});
    WriteFile(dir.file("a.mp3"), original);
    ASSERT_EQ(S_OK, PutAndClose(dir.file("a.mp3"), nullptr));
    const Bytes committed = ReadFile(dir.file("a.mp3"));
    ASSERT_NE(original, committed);
    // The ID3v2 tag and the audio of a commit; what follows is ID3v1 ground.
    const Bytes committedBody(committed.begin(), committed.end() - 128);

    // Every kind of call that a successful commit makes; it unlinks nothing,
    // since the temporary file is renamed over the content.
    for (tav_op op : {TAV_OP_OPEN, TAV_OP_READ, TAV_OP_WRITE, TAV_OP_LSEEK, TAV_OP_CLOSE, TAV_OP_RENAME,
                      TAV_OP_TRUNCATE, TAV_OP_TEMP_NAME, TAV_OP_ALLOC, TAV_OP_FSYNC}) {
        int untouched = 0; // failures that left the original as it was
        for (int n = 1;; ++n) {
            SCOPED_TRACE("operation " + std::to_string(op) + ", call " + std::to_string(n));
            ASSERT_LT(n, 5000) << "the commit never ran out of calls";
            // A file of its own each time: a refused close keeps its handle,
            // which on Windows locks the file against the next writer.
            const std::string path = dir.file(std::to_string(op) + "-" + std::to_string(n) + ".mp3");
            WriteFile(path, original);
            NthFailure failure{op, n};
            const long hr = PutAndClose(path, &failure);
            const Bytes after = ReadFile(path);
            if (failure.seen < n) { // nothing was failed: the plain commit again
                EXPECT_EQ(S_OK, hr);
                EXPECT_EQ(committed, after);
                break;
            }
            EXPECT_TRUE(TempFilesWithPrefix(tmp).empty());
            EXPECT_TRUE(hr == S_OK || hr == E_FAIL) << hr;
            if (hr != S_OK && failure.beforeRename) {
                EXPECT_EQ(original, after);
            }
            if (after == original) {
                EXPECT_NE(S_OK, hr);
                ++untouched;
                continue;
            }
            // Replaced already (or a failure the engine steps around, such as
            // an ID3v1 tag it could not read and appends anew): the new ID3v2
            // tag and the audio are in place; only the ID3v1 fields may differ.
            ASSERT_GE(after.size(), committedBody.size());
            EXPECT_TRUE(std::equal(committedBody.begin(), committedBody.end(), after.begin()));
        }
        EXPECT_GT(untouched, 0) << "operation " << op;
    }
}

} // namespace
