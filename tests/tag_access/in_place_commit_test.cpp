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
TEST(InPlaceCommit, HardLinksBatchesAndPowerCuts) {
    GTEST_SKIP() << "POSIX links and /proc file names; the in-place commit runs through the kill, sameness and "
                    "fault tests here, batches through the tool's tests";
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

// Commits that share their flushes: each song keeps its old bytes until the
// batch finishes, Finish flushes the (one, hard-linked)
// journals before any song changes and the songs before any journal goes,
// and a commit whose tag must grow does not wait.
TEST(CommitBatch, JournalsThenSongsThenNoJournals) {
    struct Watch {
        Song songs[3];
        Bytes original = Original(), committed;
        std::vector<std::string> seen;
    } w;
    WriteFile(w.songs[0].path, w.original);
    ASSERT_EQ(S_OK, Retitle(w.songs[0].path, L"New title"));
    w.committed = ReadFile(w.songs[0].path);
    CTagmillBatch batch;
    for (int i = 0; i < 3; ++i) {
        WriteFile(w.songs[i].path, w.original);
        CTagmill t;
        t.SetCommitBatch(&batch);
        ASSERT_EQ(S_OK, t.Open(Widen(w.songs[i].path), 2));
        ASSERT_EQ(S_OK, t.PutString(kTitle, {i == 2 ? std::wstring(900, L'x') : L"New title"}));
        ASSERT_EQ(S_OK, t.Close());
        EXPECT_EQ(i < 2, ReadFile(w.songs[i].path) == w.original) << i;
        EXPECT_FALSE(FileExists(w.songs[i].journal)) << i;
    }
    EXPECT_EQ(2u, batch.Waiting());
    tav_set_flush_observer(
        [](int32_t handle, void *user) {
            auto *w = static_cast<Watch *>(user);
            std::string state = std::to_string(handle) + ":";
            for (int i = 0; i < 2; ++i)
                state += std::string(ReadFile(w->songs[i].path) == w->committed ? "new" : "old") +
                         (FileExists(w->songs[i].journal) ? "+journal " : " ");
            w->seen.push_back(state);
        },
        &w);
    EXPECT_EQ(S_OK, batch.Finish());
    tav_set_flush_observer(nullptr, nullptr);
    EXPECT_EQ((std::vector<std::string>{"-2:old+journal old+journal ", "-2:new+journal new+journal "}), w.seen);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(w.committed, ReadFile(w.songs[i].path));
        EXPECT_FALSE(FileExists(w.songs[i].journal));
    }
    EXPECT_EQ(0u, batch.Waiting());
}

// A batch whose first flush fails leaves the song old and its journal for the
// next open, which completes the change.
TEST(CommitBatch, FailedFlushLeavesTheJournalForTheNextOpen) {
    Song s;
    WriteFile(s.path, Original());
    CTagmillBatch batch;
    CTagmill t;
    t.SetCommitBatch(&batch);
    ASSERT_EQ(S_OK, t.Open(Widen(s.path), 2));
    ASSERT_EQ(S_OK, t.PutString(kTitle, {L"New title"}));
    ASSERT_EQ(S_OK, t.Close());
    tav_set_fault_hook([](tav_op op, void *) { return int(op == TAV_OP_FSYNC); }, nullptr);
    EXPECT_EQ(E_FAIL, batch.Finish());
    tav_set_fault_hook(nullptr, nullptr);
    EXPECT_EQ(Original(), ReadFile(s.path));
    ASSERT_TRUE(FileExists(s.journal));
    EXPECT_NE(Original(), ReopenedBytes(s.path));
    EXPECT_FALSE(FileExists(s.journal));
}

// A second edit of a file whose change waits in the batch starts from that
// change, whichever name it opens: the same path, a hard link or a symbolic
// link. Both edits reach the file.
TEST(CommitBatch, ASecondEditByAnyNameStartsFromTheWaitingOne) {
    constexpr long kArtist = 4357;
    for (const char *how : {"same path", "hard link", "symbolic link"}) {
        Song s;
        WriteFile(s.path, Original());
        std::string second = s.path;
        if (std::string(how) != "same path") {
            second = s.dir.file("other.mp3");
            ASSERT_EQ(0, std::string(how) == "hard link" ? ::link(s.path.c_str(), second.c_str())
                                                          : symlink(s.path.c_str(), second.c_str()));
        }
        CTagmillBatch batch;
        for (const auto &edit : {std::make_pair(s.path, kTitle), std::make_pair(second, kArtist)}) {
            CTagmill t;
            t.SetCommitBatch(&batch);
            ASSERT_EQ(S_OK, t.Open(Widen(edit.first), 2)) << how;
            ASSERT_EQ(S_OK, t.PutString(edit.second, {L"New"})) << how;
            ASSERT_EQ(S_OK, t.Close()) << how;
        }
        EXPECT_EQ(S_OK, batch.Finish()) << how;
        CTagmill t;
        ASSERT_EQ(S_OK, t.Open(Widen(s.path), 1));
        for (long id : {kTitle, kArtist}) {
            std::vector<std::wstring> value;
            EXPECT_EQ(S_OK, t.GetString(id, value)) << how << " " << id;
            EXPECT_EQ(std::vector<std::wstring>{L"New"}, value) << how << " " << id;
        }
    }
}

// A commit through a symbolic link in another directory keeps its journal
// beside the file itself, where an open by the file's own name completes it.
TEST(InPlaceCommit, JournalOfALinkIsBesideItsTarget) {
    Song s;
    WriteFile(s.path, Original());
    const std::string elsewhere = s.dir.file("elsewhere"), link = elsewhere + "/link.mp3";
    ASSERT_TRUE(MakeDirectory(elsewhere));
    ASSERT_EQ(0, symlink(s.path.c_str(), link.c_str()));
    int writes = 0; // the journal is written, both writes over the song fail
    tav_set_fault_hook([](tav_op op, void *n) { return int(op == TAV_OP_WRITE && ++*static_cast<int *>(n) > 1); },
                       &writes);
    EXPECT_NE(S_OK, Retitle(link, L"New title"));
    tav_set_fault_hook(nullptr, nullptr);
    ASSERT_TRUE(FileExists(s.journal));
    EXPECT_NE(Original(), ReopenedBytes(s.path)); // nothing but the journal wrote the new tag
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
