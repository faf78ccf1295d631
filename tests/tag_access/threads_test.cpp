// Objects on different threads share nothing: eight threads at once open,
// read and commit files of their own, each with its own objects (half of them
// committing through one shared batch), and every result is what one thread
// alone would get. Run under the thread sanitizer, this also shows that no
// hidden state is shared.
#include <thread>

#include "support/frame_extract.h"

using namespace testsupport;
using namespace tagmill;

namespace {

constexpr int kThreads = 8, kRounds = 8;

Bytes Song(const std::string &title) {
    const FrameList frames = {{"TIT2", Latin1Text(title, true)}, {"TPE1", Latin1Text("Artist", true)}};
    return Concat({TagV2(3, frames, 64), FakeAudio(40), TagV1(title)});
}

// One round of one thread: a file committed by Close and read back (with a
// batch, the open finishes the batch first).
void Round(const std::string &path, const std::wstring &title, CTagmillBatch *batch) {
    WriteFile(path, Song("before"));
    CTagmill t;
    t.SetCommitBatch(batch);
    ASSERT_EQ(S_OK, t.Open(Widen(path), 2));
    ASSERT_EQ(S_OK, t.PutString(4615, {title}));
    ASSERT_EQ(S_OK, t.Close());
    ASSERT_EQ(S_OK, t.Open(Widen(path), 1));
    EXPECT_EQ(std::vector<std::wstring>{title}, Values(t, 4615));
    EXPECT_EQ(Narrow(title), V1Text(ReadFile(path), 3));
}

TEST(Threads, ObjectsOnDifferentThreadsShareNothing) {
    TempDir dir;
    ScopedTmpDir tmp(dir.path()); // set before the threads start, read by all of them
    CTagmillBatch batch;
    std::vector<std::thread> threads;
    for (int n = 0; n < kThreads; ++n) {
        threads.emplace_back([&dir, &batch, n] {
            for (int round = 0; round < kRounds; ++round) {
                const std::wstring title = L"Thread " + std::to_wstring(n) + L" round " + std::to_wstring(round);
                Round(dir.file("song" + std::to_string(n) + ".mp3"), title, n % 2 ? &batch : nullptr);
            }
        });
    }
    for (std::thread &t : threads) t.join();
    EXPECT_TRUE(TempFilesWithPrefix(dir.path()).empty());
}

} // namespace
