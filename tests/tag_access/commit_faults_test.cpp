// A commit that fails part-way, by rewrite or in place: from each call of
// each kind that Close makes on, every call of that kind fails. The file is then the original or
// the committed file, ID3v1 tag included, once the next open has completed
// any journal left behind; a rewrite leaves the original until the rewritten
// file replaces it. No temporary file is ever left behind, and the object
// ends up Closed.

#include <algorithm>

#include "support/crash_support.h"
#include "tagmill/engine.h"
#include "tagmill/platform.h"
#include "tagmill/tagmill.h"

using namespace testsupport;
using namespace tagmill;

namespace {

// An injected close failure keeps the real handle open, and Windows cannot
// delete an open file: there the temporary file of such a commit stays.
#ifdef _WIN32
constexpr bool kCloseFailureKeepsTemporaryFile = true;
#else
constexpr bool kCloseFailureKeepsTemporaryFile = false;
#endif

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
    if (op != f->op || ++f->seen < f->n) return 0;
    if (f->seen == f->n) f->beforeRename = !f->renamed;
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

    // Large enough audio that the rewrite copies it in several pieces; the
    // first tag is too small for the new frames, the second has room. Every
    // kind of call that a successful commit makes; it unlinks and truncates
    // nothing, and writing in place renames nothing.
    const std::string path = dir.file("a.mp3");
    size_t leftovers = 0; // temporary files that may stay (see above)
    for (uint32_t padding : {11u, 111u})
    for (tav_op op : {TAV_OP_OPEN, TAV_OP_READ, TAV_OP_WRITE, TAV_OP_LSEEK, TAV_OP_CLOSE, TAV_OP_RENAME,
                      TAV_OP_TEMP_NAME, TAV_OP_ALLOC, TAV_OP_FSYNC}) {
        const Bytes original = Concat({Id3Header(3, 0, 0, 13 + padding), Frame23("TIT2", Latin1Text("Old", true)),
                                       Bytes(padding, 0), FakeAudio(25), TagV1("Old", "", "", 3, 1)});
        WriteFile(path, original);
        ASSERT_EQ(S_OK, PutAndClose(path, nullptr));
        const Bytes committed = ReadFile(path);
        const bool inPlace = committed.size() == original.size();
        if (inPlace && (op == TAV_OP_RENAME || op == TAV_OP_TEMP_NAME)) continue;
        int untouched = 0; // failures that left the original as it was
        for (int n = 1;; ++n) {
            SCOPED_TRACE("operation " + std::to_string(op) + ", call " + std::to_string(n));
            ASSERT_LT(n, 5000) << "the commit never ran out of calls";
            // A file of its own each time: a refused close keeps its handle,
            // which on Windows locks the file against the next writer.
            const std::string attempt =
                dir.file(std::to_string(padding) + "-" + std::to_string(op) + "-" + std::to_string(n) + ".mp3");
            WriteFile(attempt, original);
            NthFailure failure{op, n};
            const long hr = PutAndClose(attempt, &failure);
            tav_id3_recover(Widen(attempt).c_str()); // as the next open does
            const Bytes after = ReadFile(attempt);
            if (failure.seen < n) { // nothing was failed: the plain commit again
                EXPECT_EQ(S_OK, hr);
                EXPECT_EQ(committed, after);
                break;
            }
            const size_t left = TempFilesWithPrefix(tmp).size() + StagingLeftovers(dir.path()).size();
            EXPECT_TRUE(left == leftovers || (kCloseFailureKeepsTemporaryFile && op == TAV_OP_CLOSE));
            leftovers = left;
            EXPECT_TRUE(hr == S_OK || hr == E_FAIL) << hr;
            if (hr != S_OK && failure.beforeRename && !inPlace) {
                EXPECT_EQ(original, after);
            }
            EXPECT_TRUE(after == original || after == committed);
            untouched += after == original;
        }
        EXPECT_GT(untouched, 0) << "operation " << op;
    }
}

// A frame that runs past the end of the content cannot be copied: the commit
// fails and leaves every byte as it was, and the edit stays pending, so the
// next commit fails the same way and Close reports it.
TEST(CommitFaults, FrameBeyondTheContentFailsEveryCommit) {
    const Bytes content =
        Concat({Id3Header(3, 0, 0, 20), Ascii("TCOM"), Be32(100), Bytes{0, 0}, Latin1Text("composer", true)});
    TempDir dir;
    WriteFile(dir.file("a.mp3"), content);
    CTagmill file, memory;
    ASSERT_EQ(S_OK, file.Open(dir.wfile("a.mp3"), 2));
    ASSERT_EQ(S_OK, file.PutString(4624, {L"artist"}));
    EXPECT_EQ(E_FAIL, file.Close());
    EXPECT_EQ(content, ReadFile(dir.file("a.mp3")));
    ASSERT_EQ(S_OK, OpenBytes(memory, content));
    ASSERT_EQ(S_OK, memory.PutString(4624, {L"artist"}));
    EXPECT_EQ(E_FAIL, memory.UpdateOnMemory());
    EXPECT_EQ(E_FAIL, memory.UpdateOnMemory());
    unsigned long size = 0;
    EXPECT_EQ(S_OK, memory.GetId3TagFrame(nullptr, &size));
    EXPECT_EQ(30u, size);
    EXPECT_EQ(E_FAIL, memory.Close());
}

} // namespace
