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
    EXPECT_EQ(tav_getfilesize(f.c_str()), 10);
    EXPECT_EQ(tav_getfilesize(none.c_str()), -1);
    EXPECT_EQ(tav_getfilesize(d.c_str()), -1);
}

// The directory is $TMPDIR with one trailing '/', or /tmp/; a unique name in
// it starts with "id3" and the file is created empty.
TEST(PlatformTempFiles, DirectoryAndUniqueNames) {
    TempDir dir;
    const char *saved = getenv("TMPDIR");
    const std::string old = saved ? saved : "";
    wchar_t buf[TAV_PATH_MAX], second[TAV_PATH_MAX];
    for (const std::string &tmpdir : {dir.path(), dir.path() + "/", std::string()}) {
        setenv("TMPDIR", tmpdir.c_str(), 1);
        const std::string expected = tmpdir.empty() ? "/tmp/" : dir.path() + "/";
        EXPECT_EQ(tav_get_temp_path(TAV_PATH_MAX, buf), expected.size());
        EXPECT_EQ(std::wstring(buf), Widen(expected));
    }
    EXPECT_EQ(tav_get_temp_path(5, buf), 0u); // "/tmp/" and its terminator need 6
    if (saved) setenv("TMPDIR", old.c_str(), 1);
    else unsetenv("TMPDIR");

    const std::wstring directory = Widen(dir.path() + "/");
    ASSERT_NE(tav_get_temp_file_name(directory.c_str(), buf), 0u);
    ASSERT_NE(tav_get_temp_file_name(Widen(dir.path()).c_str(), second), 0u); // no trailing '/'
    EXPECT_NE(std::wstring(buf), std::wstring(second));
    EXPECT_EQ(std::wstring(buf).rfind(directory + L"id3", 0), 0u);
    EXPECT_EQ(TempFilesWithPrefix(dir.path()).size(), 2u);
    EXPECT_EQ(ReadFile(Narrow(second)), Bytes());
    EXPECT_EQ(tav_get_temp_file_name(Widen(dir.path() + "/missing/").c_str(), buf), 0u);
}

} // namespace
