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

#include <filesystem>
#include <fstream>

#include "support/edit_support.h"

using namespace testsupport;
using namespace tagmill;
using namespace std::string_literals;

namespace {

// A 1 KiB content may cost a little bookkeeping, never megabytes.
constexpr long kMiB = 1024 * 1024, kGrowthLimit = 4 * kMiB;

// An instrumented allocator keeps freed blocks aside and adds shadow memory,
// so growth is measured only in plain builds.
#ifndef __has_feature
#define __has_feature(x) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || __has_feature(address_sanitizer) || \
    __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// What the child reports: the results of the open and of the use, and the
// growth of its peak resident size in bytes (-1 when unmeasurable).
struct ChildReport { long open = 0, use = 0, growth = -1; bool finished = false; };

// Opens a memory copy of content, runs use and looks up a frame offset.
void OpenAndUse(const Bytes &content, const std::function<long(CTagmill &)> &use, ChildReport &report) {
    Bytes image = content;
    CTagmill tag;
    report.open = tag.OpenFromMemory(image.data(), static_cast<unsigned int>(image.size()), 1);
    report.use = use(tag);
    long offset = 0, size = 0;
    tag.GetFrameOffset(4615, offset, size);
    tag.Close();
    report.finished = true;
}

#ifdef _WIN32
ChildReport RunInChild(const Bytes &content, const std::function<long(CTagmill &)> &use) {
    ChildReport report;
    OpenAndUse(content, use, report);
    return report;
}
#else
// Peak resident size of this process in bytes, or -1.
long PeakResident() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6)) * 1024;
    return -1;
}

// Runs OpenAndUse in a child process whose peak resident size is reset first.
ChildReport RunInChild(const Bytes &content, const std::function<long(CTagmill &)> &use) {
    int fds[2];
    ChildReport report;
    if (pipe(fds) != 0) return report;
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open("/proc/self/clear_refs", O_WRONLY);
        const bool reset = fd >= 0 && write(fd, "5", 1) == 1;
        const long before = PeakResident();
        OpenAndUse(content, use, report);
        const long after = PeakResident();
        report.growth = reset && before >= 0 && after >= 0 ? after - before : -1;
        _exit(write(fds[1], &report, sizeof report) == static_cast<ssize_t>(sizeof report) ? 0 : 1);
    }
    close(fds[1]);
    if (read(fds[0], &report, sizeof report) != static_cast<ssize_t>(sizeof report)) report = ChildReport{};
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    return report;
}
#endif

// A 1 KiB content: a tag whose one frame claims 200 MB of data (2.2: the
// largest 24-bit size), of which the content holds a few dozen bytes.
Bytes HostileContent(int major, const std::string &id, const Bytes &data) {
    const uint32_t claimed = major == 2 ? 0xFFFFFF : 200000000;
    const Bytes size =
        major == 2 ? Bytes{0xFF, 0xFF, 0xFF} : Concat({major == 4 ? Syncsafe(claimed) : Be32(claimed), {0, 0}});
    Bytes content = Concat({Id3Header(uint8_t(major), 0, 0, 900), Ascii(id), size, data});
    content.resize(1024, 0);
    return content;
}

// Every reader; E_OUTOFMEMORY when one of them ran out of memory.
long ReadAll(CTagmill &t) {
    std::vector<std::wstring> values;
    std::vector<std::shared_ptr<CTagmill::CPicture>> pictures;
    std::vector<std::shared_ptr<CTagmill::CGeob>> objects;
    std::vector<std::shared_ptr<CTagmill::CUserDefinedString>> strings;
    std::vector<std::shared_ptr<CTagmill::CMusicId>> ids;
    double date = 0;
    for (long hr : {t.GetString(4615, values), t.GetString(4646, values), t.GetBinary(4640, pictures),
                    t.GetGeob(5894, objects), t.GetUserDefinedString(4717, strings), t.GetMusicId(ids),
                    t.GetDate(5120, date)})
        if (hr == E_OUTOFMEMORY) return hr;
    return S_OK;
}

const Bytes kText{0, 'a', 'b', 'c'};

const struct { const char *name; int major; const char *frameId; Bytes data;
               std::function<long(CTagmill &)> use = ReadAll; } kClaims[] = {
    {"title 2.3", 3, "TIT2", kText}, {"title 2.4", 4, "TIT2", kText}, {"title 2.2", 2, "TT2", kText},
    {"URL", 3, "WOAR", Ascii("http://x/")}, {"music ID", 3, "UFID", Ascii("owner")},
    {"year", 3, "TYER", Ascii("\0" "1999"s)}, {"user text", 3, "TXXX", Ascii("\0GN_ExtData\0v"s)},
    {"picture", 3, "APIC", Concat({Ascii("\0image/png\0\3\0"s), Bytes(40, 0x89)})},
    {"object", 3, "GEOB", Concat({Ascii("\0binary\0\0USR_MTDID\0"s), Bytes(40, 7)})},
    {"commit over a comment", 3, "COMM", Concat({Bytes{0}, Ascii("eng"), Ascii("iTunSMPB")}),
     [](CTagmill &t) {
         auto comment = std::make_shared<CTagmill::CUserDefinedString>();
         comment->SetDescription(L"iTunSMPB");
         comment->SetData(L"0");
         long hr = t.PutUserDefinedString(9233, {comment});
         return hr < 0 ? hr : t.UpdateOnMemory();
     }},
    {"commit over a title", 3, "TIT2", kText, [](CTagmill &t) {
         long hr = t.PutString(4624, {L"artist"});
         return hr < 0 ? hr : t.UpdateOnMemory();
     }},
};

TEST(HostileFrameSize, OpenReadAndCommitStaySmall) {
    for (const auto &c : kClaims) {
        SCOPED_TRACE(c.name);
        const ChildReport report = RunInChild(HostileContent(c.major, c.frameId, c.data), c.use);
        ASSERT_TRUE(report.finished) << "the child did not finish";
        EXPECT_EQ(report.open, S_OK);
        // Either the real bytes or a clean failure; running out of memory is neither.
        EXPECT_NE(report.use, E_OUTOFMEMORY);
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
        std::filesystem::resize_file(std::filesystem::u8path(path), length, error);
        if (error) GTEST_SKIP() << "the file system refuses a sparse 4 GiB file";
        SCOPED_TRACE(length);
        int32_t handle = -1;
        EXPECT_EQ(tav_open(dir.wfile("large.mp3").c_str(), TAV_O_RDONLY, &handle), -1);
        for (long mode : {1L, 2L, 3L}) {
            CTagmill tag;
            EXPECT_EQ(tag.Open(dir.wfile("large.mp3"), mode), E_OPEN_FAILED) << "mode " << mode;
            EXPECT_EQ(tag.OpenForAiff(dir.wfile("large.mp3"), mode), E_OPEN_FAILED) << "mode " << mode;
        }
        EXPECT_EQ(std::filesystem::file_size(std::filesystem::u8path(path)), length);
        char head[14] = {};
        std::ifstream(std::filesystem::u8path(path), std::ios::binary).read(head, 13);
        EXPECT_EQ(std::string(head, 13), std::string("ID3\x03\x00\x00\x00\x00\x00\x14TIT", 13));
        std::filesystem::remove(std::filesystem::u8path(path));
    }
}

} // namespace
