// Operations by name: file type and size, and temporary files in the user's
// temporary directory. (The move has tests of its own.)
#include <gtest/gtest.h>
#include <stdlib.h>

#include "support/test_support.h"
#include "tagmill/platform.h"

using namespace testsupport;

namespace {

TEST(PlatformFileOps, TypeAndSize) {
    TempDir dir;
    WriteFile(dir.file("f"), Bytes(10, 1));
    const std::wstring d = Widen(dir.path()), f = dir.wfile("f"), none = dir.wfile("none");
    EXPECT_EQ(tav_file_type(d.c_str()), 0x4000);
    EXPECT_EQ(tav_file_type(f.c_str()), 0x8000);
    EXPECT_EQ(tav_file_type(none.c_str()), static_cast<int32_t>(0xFFFF3FFF));
    EXPECT_EQ(tav_file_type(nullptr), -1);
    EXPECT_EQ(tav_getfilesize(f.c_str()), 10);
    for (const wchar_t *bad : {none.c_str(), d.c_str(), static_cast<const wchar_t *>(nullptr)})
        EXPECT_EQ(tav_getfilesize(bad), -1);
}

TEST(PlatformTempFiles, DirectoryFollowsTmpdir) {
    TempDir dir;
    const char *saved = getenv("TMPDIR");
    const std::string old = saved ? saved : "";
    wchar_t buf[TAV_PATH_MAX];
    struct { std::string tmpdir; std::string expected; } cases[] = {
        {dir.path(), dir.path() + "/"}, {dir.path() + "/", dir.path() + "/"}, {"", "/tmp/"}};
    for (const auto &c : cases) {
        setenv("TMPDIR", c.tmpdir.c_str(), 1);
        EXPECT_EQ(tav_get_temp_path(TAV_PATH_MAX, buf), c.expected.size());
        EXPECT_EQ(std::wstring(buf), Widen(c.expected));
    }
    EXPECT_EQ(tav_get_temp_path(5, buf), 0u);  // "/tmp/" and its terminator need 6
    EXPECT_EQ(tav_get_temp_path(100, nullptr), 0u);
    if (saved) setenv("TMPDIR", old.c_str(), 1);
    else unsetenv("TMPDIR");
}

TEST(PlatformTempFiles, UniqueNamesAreCreatedEmpty) {
    TempDir dir;
    const std::wstring directory = Widen(dir.path() + "/");
    wchar_t first[TAV_PATH_MAX], second[TAV_PATH_MAX];
    ASSERT_NE(tav_get_temp_file_name(directory.c_str(), first), 0u);
    ASSERT_NE(tav_get_temp_file_name(Widen(dir.path()).c_str(), second), 0u);  // no trailing '/'
    EXPECT_NE(std::wstring(first), std::wstring(second));
    EXPECT_EQ(std::wstring(first).rfind(directory + L"id3", 0), 0u);
    EXPECT_EQ(TempFilesWithPrefix(dir.path()).size(), 2u);
    EXPECT_EQ(ReadFile(Narrow(second)), Bytes());
    EXPECT_EQ(tav_get_temp_file_name(nullptr, first), 0u);
    EXPECT_EQ(tav_get_temp_file_name(Widen(dir.path() + "/missing/").c_str(), first), 0u);
}

} // namespace
