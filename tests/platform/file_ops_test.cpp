// Temporary files in the user's temporary directory. (The move has tests of
// its own.)
#include "support/test_support.h"
#include "tagmill/platform.h"

using namespace testsupport;

namespace {

// The directory is $TMPDIR with one trailing '/', or /tmp/; a unique name in
// it starts with "id3" and the file is created empty.
TEST(PlatformTempFiles, DirectoryAndUniqueNames) {
#ifdef _WIN32
    GTEST_SKIP() << "$TMPDIR and mkstemp names; the Windows names have their own test";
#endif
    TempDir dir;
    wchar_t buf[TAV_PATH_MAX], second[TAV_PATH_MAX];
    for (const std::string &tmpdir : {dir.path(), dir.path() + "/", std::string()}) {
        ScopedTmpDir scoped(tmpdir);
        const std::string expected = tmpdir.empty() ? "/tmp/" : dir.path() + "/";
        EXPECT_EQ(tav_get_temp_path(TAV_PATH_MAX, buf), expected.size());
        EXPECT_EQ(std::wstring(buf), Widen(expected));
        EXPECT_TRUE(!tmpdir.empty() || tav_get_temp_path(5, buf) == 0u); // "/tmp/" and its terminator need 6
    }
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
