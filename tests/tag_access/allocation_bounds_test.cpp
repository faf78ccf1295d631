// A size field read from a content never buys more memory than the content
// holds, and contents too large for 32-bit offsets are refused cleanly.
// Memory is measured in a forked child: its peak resident size is reset, the
// work is done, and the growth is sent back through a pipe. Windows has no
// fork: there the work runs in the test's own process, unmeasured.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "support/edit_support.h"
#include "support/test_support.h"
#include "tagmill/tagmill.h"

using namespace testsupport;
using namespace tagmill;

namespace {

constexpr long kMiB = 1024 * 1024;
// A 1 KiB content may cost a little bookkeeping, never megabytes.
constexpr long kGrowthLimit = 4 * kMiB;

// An instrumented allocator keeps freed blocks aside and adds shadow memory,
// so growth is measured only in plain builds.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

struct ChildReport {
    long growth = -1; // bytes, -1 when unmeasurable
    long results[4] = {0, 0, 0, 0};
    bool finished = false;
};

#ifdef _WIN32
ChildReport RunMeasured(const std::function<void(long *results)> &work) {
    ChildReport report;
    work(report.results);
    report.finished = true;
    return report;
}
#else
// Peak resident size of this process in bytes, or -1.
long PeakResident() {
    FILE *status = std::fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
    std::fclose(status);
    return kib < 0 ? -1 : kib * 1024;
}

bool ResetPeakResident() {
    int fd = open("/proc/self/clear_refs", O_WRONLY);
    if (fd < 0) return false;
    const bool ok = write(fd, "5", 1) == 1;
    close(fd);
    return ok;
}

// Runs work in a child process; work fills up to four result codes.
ChildReport RunMeasured(const std::function<void(long *results)> &work) {
    int fds[2];
    ChildReport report;
    if (pipe(fds) != 0) return report;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        ChildReport child;
        const bool reset = ResetPeakResident();
        const long before = PeakResident();
        work(child.results);
        const long after = PeakResident();
        child.growth = reset && before >= 0 && after >= 0 ? after - before : -1;
        child.finished = true;
        ssize_t ignored = write(fds[1], &child, sizeof child);
        (void)ignored;
        _exit(0);
    }
    close(fds[1]);
    if (read(fds[0], &report, sizeof report) != static_cast<ssize_t>(sizeof report)) report = ChildReport{};
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return report;
}
#endif

// A 1 KiB content: a tag whose one frame claims `claimed` data bytes, of
// which the content holds a few dozen, then zero bytes to 1 KiB.
Bytes HostileContent(int major, const std::string &id, uint32_t claimed, const Bytes &data) {
    Bytes size = major == 2 ? Bytes{uint8_t(claimed >> 16), uint8_t(claimed >> 8), uint8_t(claimed)}
                 : major == 4 ? Syncsafe(claimed)
                              : Be32(claimed);
    if (major != 2) size.insert(size.end(), {0, 0}); // the frame's flags
    Bytes content = Concat({Id3Header(uint8_t(major), 0, 0, 900), Ascii(id), size, data});
    content.resize(1024, 0);
    return content;
}

long ReadString(CTagmill &tag, long id) {
    std::vector<std::wstring> values;
    return tag.GetString(id, values);
}

template <class Record>
long ReadRecords(long (CTagmill::*get)(long, std::vector<std::shared_ptr<Record>> &), long id, CTagmill &tag) {
    std::vector<std::shared_ptr<Record>> records;
    return (tag.*get)(id, records);
}

const Bytes kText{0, 'a', 'b', 'c'};
const Bytes kPicture = Concat({Bytes{0}, Ascii("image/png"), Bytes{0, 3, 0}, Bytes(40, 0x89)});
const Bytes kObject = Concat({Bytes{0}, Ascii("binary"), Bytes{0, 0}, Ascii("USR_MTDID"), Bytes{0}, Bytes(40, 7)});
const Bytes kUserText = Concat({Bytes{0}, Ascii("GN_ExtData"), Bytes{0}, Ascii("v")});

const struct {
    const char *name;
    int major;
    const char *frameId;
    uint32_t claimed;
    Bytes data;
    std::function<long(CTagmill &)> use;
} kClaims[] = {
    {"title 2.3", 3, "TIT2", 200000000, kText, [](CTagmill &t) { return ReadString(t, 4615); }},
    {"title 2.4", 4, "TIT2", 200000000, kText, [](CTagmill &t) { return ReadString(t, 4615); }},
    {"title 2.2", 2, "TT2", 0xFFFFFF, kText, [](CTagmill &t) { return ReadString(t, 4615); }},
    {"URL", 3, "WOAR", 200000000, Ascii("http://x/"), [](CTagmill &t) { return ReadString(t, 4646); }},
    {"picture", 3, "APIC", 200000000, kPicture,
     [](CTagmill &t) { return ReadRecords<CTagmill::CPicture>(&CTagmill::GetBinary, 4640, t); }},
    {"object", 3, "GEOB", 200000000, kObject,
     [](CTagmill &t) { return ReadRecords<CTagmill::CGeob>(&CTagmill::GetGeob, 5894, t); }},
    {"user text", 3, "TXXX", 200000000, kUserText,
     [](CTagmill &t) {
         return ReadRecords<CTagmill::CUserDefinedString>(&CTagmill::GetUserDefinedString, 4717, t);
     }},
    {"music ID", 3, "UFID", 200000000, Ascii("owner"),
     [](CTagmill &t) {
         std::vector<std::shared_ptr<CTagmill::CMusicId>> ids;
         return t.GetMusicId(ids);
     }},
    {"year", 3, "TYER", 200000000, Concat({Bytes{0}, Ascii("1999")}),
     [](CTagmill &t) {
         double date = 0;
         return t.GetDate(5120, date);
     }},
    {"commit over a comment", 3, "COMM", 200000000, Concat({Bytes{0}, Ascii("eng"), Ascii("iTunSMPB")}),
     [](CTagmill &t) {
         auto comment = std::make_shared<CTagmill::CUserDefinedString>();
         comment->SetDescription(L"iTunSMPB");
         comment->SetData(L"0");
         long hr = t.PutUserDefinedString(9233, {comment});
         return hr < 0 ? hr : t.UpdateOnMemory();
     }},
    {"commit over a title", 3, "TIT2", 200000000, kText,
     [](CTagmill &t) {
         long hr = t.PutString(4624, {L"artist"});
         return hr < 0 ? hr : t.UpdateOnMemory();
     }},
};

TEST(HostileFrameSize, OpenReadAndCommitStaySmall) {
    for (const auto &c : kClaims) {
        SCOPED_TRACE(c.name);
        const Bytes content = HostileContent(c.major, c.frameId, c.claimed, c.data);
        ChildReport report = RunMeasured([&](long *results) {
            Bytes image = content;
            CTagmill tag;
            results[0] = tag.OpenFromMemory(image.data(), static_cast<unsigned int>(image.size()), 1);
            results[1] = c.use(tag);
            long offset = 0, size = 0;
            results[2] = tag.GetFrameOffset(4615, offset, size);
            tag.Close();
        });
        ASSERT_TRUE(report.finished) << "the child did not finish";
        EXPECT_EQ(report.results[0], S_OK);
        // Either the real bytes or a clean failure; running out of memory is neither.
        EXPECT_NE(report.results[1], E_OUTOFMEMORY);
        if (kSanitized) continue;
        if (report.growth < 0) GTEST_SKIP() << "peak resident size cannot be measured here";
        EXPECT_LT(report.growth, kGrowthLimit) << "peak grew by " << report.growth / kMiB << " MiB";
    }
}

// An extended header whose size field claims 200 MB: the rewrite must not
// place the frames that far up (a 200 MB tag from a 1 KiB content).
TEST(HostileExtendedHeader, CommitKeepsTheTagSmall) {
    Bytes content = Concat({Id3Header(3, 0, 0x40, 900), Be32(200000000), Bytes(10, 0)});
    content.resize(1024, 0);
    EditSession session;
    ASSERT_EQ(session.OpenFile(content), TAV_OK);
    ASSERT_EQ(tav_id3_v2_edit_begin(session.get()), TAV_OK);
    ASSERT_EQ(AddFrame(session.get(), "TIT2", Bytes{0, 'a'}), TAV_OK);
    const tav_id3_v2_header_flags keepExtendedHeader = {0, 0, 1, 0, 0};
    ASSERT_EQ(tav_id3_v2_set_header_flag_info(session.get(), &keepExtendedHeader), TAV_OK);
    ASSERT_EQ(tav_id3_v2_edit_end(session.get()), TAV_OK);
    EXPECT_LE(session.Content().size(), 4096u);
}

// A file of 4 GiB or more cannot be addressed with the 32-bit offsets of the
// tag formats: every open refuses it and leaves it untouched. The file is
// sparse, so it costs no disk space where the file system supports that.
TEST(LargeContent, FilesOf4GiBAreRefused) {
    TempDir dir;
    for (const uint64_t length : {uint64_t(0xFFFFFFFFULL), uint64_t(0x100000400ULL)}) {
        const std::string path = dir.file("large.mp3");
        WriteFile(path, Concat({Id3Header(3, 0, 0, 20), Frame23("TIT2", Bytes{0, 'a'})}));
        std::error_code error;
        std::filesystem::resize_file(path, length, error);
        if (error) GTEST_SKIP() << "the file system refuses a sparse 4 GiB file";
        int32_t handle = -1;
        EXPECT_EQ(tav_open(dir.wfile("large.mp3").c_str(), TAV_O_RDONLY, &handle), -1);
        for (long mode : {1L, 2L, 3L}) {
            CTagmill tag;
            EXPECT_EQ(tag.Open(dir.wfile("large.mp3"), mode), E_OPEN_FAILED) << "mode " << mode << ", length " << length;
            EXPECT_EQ(tag.OpenForAiff(dir.wfile("large.mp3"), mode), E_OPEN_FAILED) << "mode " << mode;
        }
        EXPECT_EQ(std::filesystem::file_size(path), length);
        std::vector<uint8_t> head(13);
        FILE *file = std::fopen(path.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(std::fread(head.data(), 1, head.size(), file), head.size());
        std::fclose(file);
        EXPECT_EQ(0, std::memcmp(head.data(), "ID3\x03\x00\x00\x00\x00\x00\x14TIT", 13));
        std::filesystem::remove(path);
    }
}

} // namespace
