// Commits that write the tag where it stands, through the journal: hard links
// see the change; a process killed at any instant, or a power cut that drops
// every write not yet flushed at any flush point, leaves (once the next open
// has completed any journal) the old file or the new one; and a journal that
// is torn or belongs to another file is dropped without touching the file.
#include <random>

#include "support/crash_support.h"
#include "tagmill/platform.h"
#include "tagmill/tagmill.h"

#ifndef _WIN32
#include <unistd.h>
#endif

using namespace testsupport;
using namespace tagmill;

namespace {

constexpr long kTitle = 4615;

struct Song {
    TempDir dir;
    std::string path = dir.file("song.mp3");
    std::string journal = dir.file(".song.mp3.tagmill-journal");
};

Bytes Original() {
    const Bytes frames = Concat({Frame23("TIT2", Latin1Text("Old title", true)), Frame23("TPE1", Latin1Text("A", true))});
    return Concat({Id3Header(3, 0, 0, static_cast<uint32_t>(frames.size() + 600)), frames, Bytes(600, 0),
                   FakeAudio(100), TagV1("Old title")});
}

long Retitle(const std::string &path, const std::wstring &title, bool durable = true) {
    CTagmill t;
    t.SetDurable(durable);
    long hr = t.Open(Widen(path), 2);
    if (hr == S_OK) hr = t.PutString(kTitle, {title});
    const long closed = t.Close();
    return hr == S_OK ? closed : hr;
}

// What every open does first.
Bytes ReopenedBytes(const std::string &path) {
    CTagmill t;
    EXPECT_EQ(S_OK, t.Open(Widen(path), 1));
    t.Close();
    return ReadFile(path);
}

// The child of the kill test: retitles the song back and forth, flushing or
// not, until it is killed.
int RetitleUntilKilled(const ChildArgs &args) {
    for (int i = 1;; ++i) Retitle(args[0], i % 2 ? L"Title B" : L"Title A", args[1] == "durable");
}
KILL_TEST_CHILD(InPlaceCommit, RetitleUntilKilled)

// The child is killed at a random instant once it has committed (starting it
// takes long on Windows); the next open must find one of the two titles'
// files and leave no journal.
TEST(InPlaceCommit, KilledAtAnyInstantLeavesOldOrNew) {
    Song s;
    WriteFile(s.path, Original());
    ASSERT_EQ(S_OK, Retitle(s.path, L"Title A"));
    const Bytes a = ReadFile(s.path);
    ASSERT_EQ(S_OK, Retitle(s.path, L"Title B"));
    const Bytes b = ReadFile(s.path);
    ASSERT_EQ(a.size(), b.size());
    std::mt19937 random(std::random_device{}());
    const int kTrials = kChildStartsSlowly ? 60 : 300;
    int journals = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        WriteFile(s.path, a);
        const bool durable = trial % 3 == 0;
        Child child("InPlaceCommit", RetitleUntilKilled, {s.path, durable ? "durable" : "fast"});
        ASSERT_TRUE(child.started());
        ASSERT_TRUE(PollUntil([&] { return ReadFile(s.path) != a; }, 20)) << "the child never committed";
        child.Kill(std::chrono::microseconds(std::uniform_int_distribution<int>(0, durable ? 20000 : 3000)(random)));
        journals += FileExists(s.journal);
        const Bytes after = ReopenedBytes(s.path);
        EXPECT_TRUE(after == a || after == b) << "trial " << trial;
        EXPECT_FALSE(FileExists(s.journal));
    }
    EXPECT_GT(journals, 0) << "no kill landed inside a commit";
}

#ifdef _WIN32
TEST(InPlaceCommit, HardLinksAndPowerCuts) {
    GTEST_SKIP() << "POSIX hard links and /proc file names; the in-place commit runs through the kill, sameness "
                    "and fault tests here";
}
#else
TEST(InPlaceCommit, HardLinksSeeTheChangedFile) {
    Song s;
    WriteFile(s.path, Original());
    const std::string link = s.dir.file("link.mp3");
    ASSERT_EQ(0, ::link(s.path.c_str(), link.c_str()));
    ASSERT_EQ(S_OK, Retitle(s.path, L"New title"));
    EXPECT_EQ(Original().size(), ReadFile(s.path).size()) << "the tag kept its length";
    EXPECT_EQ(ReadFile(s.path), ReadFile(link));
    EXPECT_FALSE(FileExists(s.journal));
}

// What the disk may hold after a power cut: the song and the journal as of
// their last flush (the journal only once its directory entry was flushed),
// or with every write made so far.
struct DiskImage {
    Bytes song;
    bool hasJournal;
    Bytes journal;
};

struct PowerCuts {
    const Song *s;
    Bytes durableSong, durableJournal;
    bool journalEntryDurable = false;
    std::vector<DiskImage> images;

    static void Flushed(int32_t handle, void *user) {
        auto *p = static_cast<PowerCuts *>(user);
        char target[4096] = {0};
        const std::string fd = "/proc/self/fd/" + std::to_string(handle);
        if (handle == -1)
            p->journalEntryDurable = FileExists(p->s->journal);
        else if (readlink(fd.c_str(), target, sizeof target - 1) > 0)
            (std::string(target) == p->s->path ? p->durableSong : p->durableJournal) = ReadFile(target);
        p->images.push_back({p->durableSong, p->journalEntryDurable, p->durableJournal});
        const bool journal = FileExists(p->s->journal);
        p->images.push_back({ReadFile(p->s->path), journal, journal ? ReadFile(p->s->journal) : Bytes()});
    }
};

void Restore(const Song &s, const DiskImage &image) {
    WriteFile(s.path, image.song); // the same file, so the journal's identity holds
    if (image.hasJournal)
        WriteFile(s.journal, image.journal);
    else
        unlink(s.journal.c_str());
}

TEST(InPlaceCommit, PowerCutAtAnyFlushPointLeavesOldOrNew) {
    Song s;
    const Bytes original = Original();
    WriteFile(s.path, original);
    PowerCuts cuts;
    cuts.s = &s;
    cuts.durableSong = original;
    cuts.images.push_back({original, false, {}});
    tav_set_flush_observer(PowerCuts::Flushed, &cuts);
    const long hr = Retitle(s.path, L"New title");
    tav_set_flush_observer(nullptr, nullptr);
    ASSERT_EQ(S_OK, hr);
    const Bytes committed = ReadFile(s.path);
    ASSERT_GE(cuts.images.size(), 7u) << "journal, its directory entry, the song: three flushes";
    int replayed = 0;
    for (size_t i = 0; i < cuts.images.size(); ++i) {
        Restore(s, cuts.images[i]);
        const Bytes after = ReopenedBytes(s.path);
        EXPECT_TRUE(after == original || after == committed) << "power cut " << i;
        replayed += cuts.images[i].song != committed && after == committed;
        EXPECT_FALSE(FileExists(s.journal));
    }
    EXPECT_GT(replayed, 0) << "no power cut left a journal to complete";

    // A journal meant for another file (the song replaced by a copy, made
    // while the song exists so that it cannot take over its inode number), or
    // one cut short or altered beside the song itself, is dropped, and the
    // file stays as it is.
    const DiskImage &withJournal = cuts.images[cuts.images.size() - 2];
    ASSERT_TRUE(withJournal.hasJournal);
    Bytes shorter = withJournal.journal, altered = shorter;
    shorter.pop_back();
    altered[altered.size() / 2] ^= 1;
    const Bytes journals[] = {withJournal.journal, shorter, altered};
    for (int i = 0; i < 3; ++i) {
        const std::string other = s.dir.file("other");
        WriteFile(i == 0 ? other : s.path, original);
        ASSERT_TRUE(i > 0 || rename(other.c_str(), s.path.c_str()) == 0);
        WriteFile(s.journal, journals[i]);
        EXPECT_EQ(original, ReopenedBytes(s.path)) << "journal " << i;
        EXPECT_FALSE(FileExists(s.journal));
    }
}

#endif

} // namespace
