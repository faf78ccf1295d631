// Windows behaviour of the file primitives: the retry after a sharing
// violation and its timing, the mapping of system errors, wide paths with
// characters outside any code page, and the system's temporary names.
#ifdef _WIN32
#include <windows.h>

#include <chrono>
#include <thread>

#include "support/test_support.h"
#include "tagmill/platform.h"

using namespace testsupport;

namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Another writer holds the file open. Reads are shared, writes are not, so
// the library's open (which shares reads only) meets a sharing violation and
// tries three times, 100 ms apart: it succeeds when the writer lets go in time.
TEST(WindowsOpen, SharingViolationIsRetriedTwice) {
    const struct {
        const char *name;
        int releaseAfterMs; // -1: held throughout
        int32_t result;
        long long atLeastMs, belowMs;
    } cases[] = {
        {"held throughout", -1, -1, 190, 1500}, // the upper bounds allow for a loaded machine
        {"released after 50 ms", 50, 0, 90, 300},
        {"released after 150 ms", 150, 0, 190, 450},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir.file("held.mp3"), Ascii("data"));
        HANDLE writer = CreateFileW(dir.wfile("held.mp3").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(writer, INVALID_HANDLE_VALUE);
        std::thread release;
        if (c.releaseAfterMs >= 0)
            release = std::thread([&] {
                Sleep(c.releaseAfterMs);
                CloseHandle(writer);
            });
        const Clock::time_point start = Clock::now();
        int32_t handle = 77;
        EXPECT_EQ(tav_open(dir.wfile("held.mp3").c_str(), TAV_O_RDONLY, &handle), c.result);
        const long long elapsed = MillisecondsSince(start);
        if (release.joinable())
            release.join();
        else
            CloseHandle(writer);
        EXPECT_GE(elapsed, c.atLeastMs);
        EXPECT_LT(elapsed, c.belowMs);
        EXPECT_EQ(handle, c.result == 0 ? handle : 77);
        if (c.result == 0) {
            EXPECT_EQ(tav_close(&handle), 0);
        }
    }
}

// Only "already exists" (183) and "access denied" (5, here a directory)
// become -13 and only "file not found" (2) becomes -2; "file exists" (80,
// from a create-new open) and "path not found" (3) are plain failures. (A
// read-only attribute would deny writing too, but Wine lets root write.)
TEST(WindowsOpen, SystemErrorsMapToThreeResults) {
    TempDir dir;
    WriteFile(dir.file("file"), Ascii("x"));
    ASSERT_TRUE(MakeDirectory(dir.file("directory")));
    const struct {
        const char *path;
        int32_t flags, result;
    } cases[] = {
        {"missing", TAV_O_RDONLY, TAV_OPEN_NOT_FOUND},
        {"no/such/directory", TAV_O_RDONLY, -1},
        {"file", TAV_O_RDWR | TAV_O_CREAT | TAV_O_EXCL, -1},
        {"directory", TAV_O_RDONLY, TAV_OPEN_DENIED},
        {"directory", TAV_O_RDWR | TAV_O_CREAT, TAV_OPEN_DENIED},
    };
    for (const auto &c : cases) {
        int32_t handle = 77;
        EXPECT_EQ(tav_open(dir.wfile(c.path).c_str(), c.flags, &handle), c.result) << c.path << " " << c.flags;
        EXPECT_EQ(handle, 77);
    }
    EXPECT_EQ(tav_file_type(dir.wfile("directory").c_str()), TAV_FILE_TYPE_DIRECTORY);
    EXPECT_EQ(tav_file_type(dir.wfile("file").c_str()), TAV_FILE_TYPE_REGULAR);
    EXPECT_EQ(tav_file_type(dir.wfile("missing").c_str()), TAV_FILE_TYPE_UNKNOWN);
}

// Names that no ANSI code page holds (Greek, CJK, a character beyond the
// Basic Multilingual Plane) reach the system unchanged through every
// primitive that takes a path.
TEST(WindowsPaths, WideNamesOutsideTheCodePage) {
    TempDir dir;
    const std::wstring base = Widen(dir.path()) + L"\\";
    const std::wstring first = base + L"\u0395\u03BB\u03BB\u03AC\u03B4\u03B1-\u65E5\u672C-\U0001F600.mp3";
    const std::wstring second = base + L"\uD55C\uAD6D\uC5B4-\U0001D11E.mp3";
    int32_t handle = -1;
    ASSERT_EQ(tav_open(first.c_str(), TAV_O_RDWR | TAV_O_CREAT | TAV_O_EXCL, &handle), 0);
    EXPECT_EQ(tav_write(handle, "12345", 5), 5);
    EXPECT_EQ(tav_close(&handle), 0);
    EXPECT_EQ(tav_getfilesize(first.c_str()), 5);
    EXPECT_EQ(tav_file_type(first.c_str()), TAV_FILE_TYPE_REGULAR);
    EXPECT_EQ(tav_rename(first.c_str(), second.c_str()), 0);
    EXPECT_EQ(GetFileAttributesW(first.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadFile(Narrow(second)), Ascii("12345"));
    EXPECT_EQ(tav_unlink(second.c_str()), 0);
    EXPECT_EQ(GetFileAttributesW(second.c_str()), INVALID_FILE_ATTRIBUTES);
}

// The temporary directory follows TMP; the system creates each unique file
// empty as "<dir>id3XXXX.tmp" and refuses a directory that is not there.
TEST(WindowsTempFiles, SystemDirectoryAndUniqueNames) {
    TempDir dir;
    ScopedTmpDir scoped(dir.path());
    wchar_t directory[TAV_PATH_MAX], name[TAV_PATH_MAX], other[TAV_PATH_MAX];
    const uint32_t length = tav_get_temp_path(TAV_PATH_MAX, directory);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(directory[length - 1], L'\\');
    EXPECT_EQ(tav_get_temp_path(length, directory), 0u) << "no room for the terminator";
    ASSERT_EQ(tav_get_temp_path(TAV_PATH_MAX, directory), length);
    ASSERT_NE(tav_get_temp_file_name(directory, name), 0u);
    ASSERT_NE(tav_get_temp_file_name(directory, other), 0u);
    const std::wstring first(name), prefix = std::wstring(directory) + L"id3";
    EXPECT_NE(first, std::wstring(other));
    EXPECT_EQ(first.compare(0, prefix.size(), prefix), 0) << Narrow(first);
    EXPECT_EQ(first.substr(first.size() - 4), L".tmp");
    EXPECT_EQ(tav_getfilesize(name), 0);
    EXPECT_EQ(TempFilesWithPrefix(dir.path(), "id3").size(), 2u);
    EXPECT_EQ(tav_get_temp_file_name((std::wstring(directory) + L"missing\\").c_str(), name), 0u);
}

} // namespace
#endif
