// Objects on different threads share nothing: eight threads at once open,
// read and commit files of their own and work on memory images, each with
// its own objects, and every result is what one thread alone would get. Run
// under the thread sanitizer, this also shows that no hidden state is shared.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/commit_support.h"
#include "tagmill/tagmill.h"

using namespace testsupport;
using namespace tagmill;

namespace {

constexpr long kTitle = 4615, kArtist = 4624;
constexpr int kThreads = 8, kRounds = 8;

Bytes Song(const std::string &title) {
    const Bytes frames = Concat({Frame23("TIT2", NarrowPayload(title)), Frame23("TPE1", NarrowPayload("Artist"))});
    return Concat({Id3Header(3, 0, 0, static_cast<uint32_t>(frames.size() + 64)), frames, Bytes(64, 0),
                   FakeAudio(40), V1Tag(title)});
}

std::vector<std::wstring> Get(CTagmill &t, long id) {
    std::vector<std::wstring> values;
    EXPECT_EQ(S_OK, t.GetString(id, values)) << "property " << id;
    return values;
}

void CommitFile(const std::string &path, const std::wstring &title) {
    WriteFile(path, Song("before"));
    {
        CTagmill t;
        ASSERT_EQ(S_OK, t.Open(Widen(path), 2));
        EXPECT_EQ(std::vector<std::wstring>{L"before"}, Get(t, kTitle));
        ASSERT_EQ(S_OK, t.PutString(kTitle, {title}));
        ASSERT_EQ(S_OK, t.Close());
    }
    CTagmill t;
    ASSERT_EQ(S_OK, t.Open(Widen(path), 1));
    EXPECT_EQ(std::vector<std::wstring>{title}, Get(t, kTitle));
    EXPECT_EQ(std::vector<std::wstring>{L"Artist"}, Get(t, kArtist));
    EXPECT_EQ(S_OK, t.Close());
    EXPECT_EQ(Narrow(title), V1Text(ReadFile(path), 3));
}

void CommitMemory(const std::wstring &title) {
    Bytes image = Song("in memory");
    CTagmill t;
    ASSERT_EQ(S_OK, t.OpenFromMemory(image.data(), static_cast<unsigned int>(image.size()), 1));
    ASSERT_EQ(S_OK, t.PutString(kTitle, {title}));
    ASSERT_EQ(S_OK, t.UpdateOnMemory());
    EXPECT_EQ(std::vector<std::wstring>{title}, Get(t, kTitle));
    unsigned long size = 0;
    ASSERT_EQ(S_OK, t.GetId3TagFrame(nullptr, &size));
    unsigned char *tag = static_cast<unsigned char *>(std::malloc(size));
    ASSERT_EQ(S_OK, t.GetId3TagFrame(&tag, &size));
    const Bytes bytes(tag, tag + size);
    std::free(tag);
    EXPECT_EQ(std::vector<Bytes>{UnicodePayload(title)}, ParseTag(bytes).Payloads("TIT2"));
    EXPECT_EQ(S_OK, t.Close());
}

TEST(Threads, ObjectsOnDifferentThreadsShareNothing) {
    TempDir dir;
    ScopedTmpDir tmp(dir.path()); // set before the threads start, read by all of them
    std::vector<std::thread> threads;
    for (int n = 0; n < kThreads; ++n) {
        threads.emplace_back([&dir, n] {
            for (int round = 0; round < kRounds; ++round) {
                const std::wstring title = L"Thread " + std::to_wstring(n) + L" round " + std::to_wstring(round);
                CommitFile(dir.file("song" + std::to_string(n) + ".mp3"), title);
                CommitMemory(title + L" in memory");
            }
        });
    }
    for (std::thread &t : threads) t.join();
    EXPECT_TRUE(TempFilesWithPrefix(dir.path()).empty());
}

} // namespace
