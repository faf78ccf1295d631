// Descriptor primitives: open flag rules and error values, the empty path,
// read/write, the clamped seek, cutting a file, and non-ASCII paths.
#include <gtest/gtest.h>

#include "support/test_support.h"
#include "tagmill/platform.h"

using namespace testsupport;

namespace {

TEST(PlatformOpen, FlagsAndErrors) {
    struct { const char *name; bool exists; int32_t flags, result; const char *after; } cases[] = {
        {"read existing", true, 0, 0, "old"},
        {"read missing", false, 0, TAV_OPEN_NOT_FOUND, nullptr},
        {"update missing", false, 0x2, TAV_OPEN_NOT_FOUND, nullptr},
        {"create-if-missing keeps data", true, 0x42, 0, "old"},
        {"create-new on existing", true, 0xC2, TAV_OPEN_DENIED, "old"},
        {"create-new creates", false, 0xC2, 0, ""},
        {"create-or-truncate", true, 0x242, 0, ""},
        {"truncate wins over exclusive", true, 0x2C2, 0, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        if (c.exists) WriteFile(dir.file("f"), Ascii("old"));
        int32_t h = 77;
        EXPECT_EQ(tav_open(dir.wfile("f").c_str(), c.flags, &h), c.result);
        EXPECT_EQ(c.result == 0 ? tav_close(&h) : 0, 0);
        EXPECT_EQ(h, c.result == 0 ? -1 : 77);
        EXPECT_EQ(FileExists(dir.file("f")), c.after != nullptr);
        EXPECT_EQ(c.after ? ReadFile(dir.file("f")) : Bytes(), Ascii(c.after ? c.after : ""));
    }
    TempDir dir;
    int32_t h = 5;
    EXPECT_EQ(tav_open(L"", 0x242, &h), 0); // empty path: nothing opened
    EXPECT_EQ(h, -1);
    EXPECT_EQ(tav_open(Widen(dir.path()).c_str(), 0, &h), TAV_OPEN_DENIED); // a directory
}

TEST(PlatformFiles, ReadWriteSeekAndCut) {
    TempDir dir;
    int32_t h = -1;
    ASSERT_EQ(tav_open(dir.wfile("f").c_str(), 0xC2, &h), 0);
    EXPECT_EQ(tav_write(h, "0123456789", 10), 10);
    struct { int32_t offset, origin; int64_t result, after; } seeks[] = {
        {1000, 0, 10, 10}, {2, 1, 6, 6},  {-4, 1, 0, 0},   {100, 1, 10, 10}, {-2, 2, 8, 8},
        {5, 2, 10, 10},    {-20, 0, -1, 4}, {-5, 1, -1, 4}, {0, 3, -1, 4},
    };
    for (const auto &s : seeks) {
        SCOPED_TRACE(std::to_string(s.offset) + " from " + std::to_string(s.origin));
        ASSERT_EQ(tav_lseek(h, 4, 0), 4);
        EXPECT_EQ(tav_lseek(h, s.offset, s.origin), s.result);
        EXPECT_EQ(tav_lseek(h, 0, 1), s.after);
    }
    char buf[100] = {};
    ASSERT_EQ(tav_lseek(h, 4, 0), 4);
    EXPECT_EQ(tav_read(h, buf, sizeof buf), 6);
    EXPECT_EQ(tav_read(h, buf, sizeof buf), 0);
    ASSERT_EQ(tav_lseek(h, 4, 0), 4);
    EXPECT_EQ(tav_set_end_of_file(h), 0);
    EXPECT_EQ(tav_close(&h), 0);
    EXPECT_EQ(ReadFile(dir.file("f")), Ascii("0123"));
}

TEST(PlatformFiles, NonAsciiPathsAreUtf8) {
    TempDir dir;
    const std::string name = "Gr\xC3\xBC\xC3\x9F" "e-\xE6\x97\xA5-\xF0\x9F\x98\x80";
    const std::wstring wide = Widen(dir.path() + "/") + L"Gr\u00FC\u00DFe-\u65E5-\U0001F600";
    int32_t h = -1;
    ASSERT_EQ(tav_open(wide.c_str(), 0xC2, &h), 0);
    EXPECT_EQ(tav_write(h, "abc", 3), 3);
    EXPECT_EQ(tav_close(&h), 0);
    EXPECT_EQ(ReadFile(dir.file(name)), Ascii("abc"));
    EXPECT_EQ(tav_unlink(wide.c_str()), 0);
    EXPECT_FALSE(FileExists(dir.file(name)));
}

} // namespace
