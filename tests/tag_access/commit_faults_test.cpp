// A commit that fails part-way: every call that Close makes is failed in
// turn. Until the rewritten file replaces the original, the original
// stays byte for byte; after that only the ID3v1 fields may lag. No temporary
// file is ever left behind, and the object ends up Closed.
#include <sys/stat.h>

#include "support/crash_support.h"

using namespace testsupport;
using namespace tagmill;

namespace {

// Opens for writing, puts an artist and closes with the hook installed, when
// one is given, during Close. Returns Close's result.
long PutAndClose(const std::string &path, tav_fault_hook hook = nullptr, void *plan = nullptr) {
    CTagmill t;
    EXPECT_EQ(S_OK, t.Open(Widen(path), 2));
    EXPECT_EQ(S_OK, t.PutString(4624, {L"New artist"}));
    ScopedFaultHook scoped(hook, plan);
    const long hr = t.Close();
    EXPECT_EQ(E_UNEXPECTED, t.PutString(4624, {})) << "Close clears the object whatever the result";
    return hr;
}

TEST(CommitFaults, FailureAtEveryStepKeepsTheFileWhole) {
    TempDir dir;
    const std::string tmp = dir.file("tmp");
    ASSERT_EQ(0, mkdir(tmp.c_str(), 0700));
    ScopedTmpDir scopedTmp(tmp);

    // Large enough audio that the rewrite copies it in several pieces.
    const Bytes original = Concat({Id3Header(3, 0, 0, 64), Frame23("TIT2", Latin1Text("Old", true)), Bytes(51, 0),
                                   FakeAudio(25), TagV1("Old", "", "", 3, 1)});
    const std::string path = dir.file("a.mp3");
    WriteFile(path, original);
    OpRecorder trace;
    ASSERT_EQ(S_OK, PutAndClose(path, RecordOp, &trace));
    const Bytes committed = ReadFile(path);
    ASSERT_NE(original, committed);
    // The ID3v2 tag and the audio of a commit; what follows is ID3v1 ground.
    const Bytes committedBody(committed.begin(), committed.end() - 128);

    std::set<tav_op> untouched; // operations whose failure left the original as it was
    for (size_t i = 0; i < trace.ops.size(); ++i) {
        WriteFile(path, original);
        FailAtIndex plan{i};
        const long hr = PutAndClose(path, FailOpAt, &plan);
        SCOPED_TRACE(testing::Message() << "failing operation " << plan.op << " at " << i << ", result " << hr);
        ASSERT_TRUE(plan.fired);
        const Bytes after = ReadFile(path);
        EXPECT_TRUE(TempFilesWithPrefix(tmp).empty());
        EXPECT_TRUE(hr == S_OK || hr == E_FAIL);
        // Until the temporary file is moved over the content, a failure keeps it.
        const auto failedOne = trace.ops.begin() + i + 1;
        const bool beforeRename = std::find(trace.ops.begin(), failedOne, TAV_OP_RENAME) == failedOne;
        EXPECT_TRUE(hr == S_OK || !beforeRename || after == original) << "a failure before the move changed the file";
        if (after == original) {
            EXPECT_NE(S_OK, hr);
            untouched.insert(plan.op);
            continue;
        }
        // Replaced already (or a failure the engine steps around, such as
        // an ID3v1 tag it could not read and appends anew): the new ID3v2
        // tag and the audio are in place; only the ID3v1 fields may differ.
        ASSERT_GE(after.size(), committedBody.size());
        EXPECT_TRUE(std::equal(committedBody.begin(), committedBody.end(), after.begin()));
    }
    // Every kind of call that a successful commit makes; it unlinks nothing,
    // since the temporary file is renamed over the content.
    for (tav_op op : {TAV_OP_OPEN, TAV_OP_READ, TAV_OP_WRITE, TAV_OP_LSEEK, TAV_OP_CLOSE, TAV_OP_RENAME,
                      TAV_OP_TRUNCATE, TAV_OP_TEMP_NAME, TAV_OP_ALLOC, TAV_OP_FSYNC})
        EXPECT_EQ(1u, untouched.count(op)) << "no failure of operation " << op << " kept the original";
}

} // namespace
