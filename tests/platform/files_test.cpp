// Descriptor primitives: open flag rules and error values, read/write, the
// clamped seek, cutting a file, and UTF-8 paths.
#include "support/test_support.h"
#include "tagmill/platform.h"

using namespace testsupport;

namespace {

// Windows reports an existing file to a create-new open as "file exists"
// (80), which is not among the errors that map to -13.
#ifdef _WIN32
constexpr int32_t kCreateNewOnExisting = -1;
#else
constexpr int32_t kCreateNewOnExisting = TAV_OPEN_DENIED;
#endif

// Error values, whether the handle and the file were touched, and the
// creation-bit precedence: the last of 0x40, 0x80, 0x200 present wins.
TEST(PlatformOpen, FlagsAndErrors) {
    struct { const char *name; bool exists; int32_t flags, result; const char *after; } cases[] = {
        {"read missing", false, 0, TAV_OPEN_NOT_FOUND, nullptr},
        {"create-new on existing", true, 0xC2, kCreateNewOnExisting, "old"},
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
    EXPECT_EQ(tav_open(Widen(dir.path()).c_str(), 0, &h), TAV_OPEN_DENIED); // a directory
}

// A seek never leaves the pointer past the end; a refused one leaves it
// where it was. The file has a non-ASCII name, which must reach the file
// system as UTF-8.
TEST(PlatformFiles, ReadWriteSeekAndCut) {
    TempDir dir;
    const std::string name = "Gr\xC3\xBC\xC3\x9F" "e-\xE6\x97\xA5-\xF0\x9F\x98\x80";
    int32_t h = -1;
    ASSERT_EQ(tav_open((Widen(dir.path() + "/") + L"Gr\u00FC\u00DFe-\u65E5-\U0001F600").c_str(), 0xC2, &h), 0);
    EXPECT_EQ(tav_write(h, "0123456789", 10), 10);
    for (int32_t origin : {0, 1, 2}) EXPECT_EQ(tav_lseek(h, 1000, origin), 10) << "origin " << origin;
    EXPECT_EQ(tav_lseek(h, -4, 1), 6);
    EXPECT_EQ(tav_lseek(h, -20, 1), -1);
    EXPECT_EQ(tav_lseek(h, 0, 3), -1);
    EXPECT_EQ(tav_lseek(h, 0, 1), 6);
    char buf[100] = {};
    ASSERT_EQ(tav_lseek(h, 4, 0), 4);
    EXPECT_EQ(tav_read(h, buf, sizeof buf), 6);
    EXPECT_EQ(tav_read(h, buf, sizeof buf), 0);
    ASSERT_EQ(tav_lseek(h, 4, 0), 4);
    EXPECT_EQ(tav_set_end_of_file(h), 0);
    EXPECT_EQ(tav_close(&h), 0);
    EXPECT_EQ(ReadFile(dir.file(name)), Ascii("0123"));
}

// A file is known by its device and file number, whether asked by an open
// descriptor or by any of its names, and only while it exists.
TEST(PlatformFiles, IdentityByPathAndByDescriptor) {
    TempDir dir;
    WriteFile(dir.file("a"), Ascii("12345"));
    WriteFile(dir.file("b"), Ascii("12345"));
    const std::wstring a = Widen(dir.file("a")), link = Widen(dir.file("link"));
    ASSERT_EQ(0, tav_link(a.c_str(), link.c_str()));
    int32_t handle = -1;
    ASSERT_EQ(0, tav_open(a.c_str(), TAV_O_RDONLY, &handle));
    tav_file_identity byHandle{}, byName{}, byLink{}, other{}, missing{};
    EXPECT_EQ(0, tav_identify_file(handle, &byHandle));
    EXPECT_EQ(0, tav_identify_path(a.c_str(), &byName)); // while the file is open for another
    tav_close(&handle);
    EXPECT_EQ(0, tav_identify_path(link.c_str(), &byLink));
    EXPECT_EQ(0, tav_identify_path(Widen(dir.file("b")).c_str(), &other));
    EXPECT_EQ(-1, tav_identify_path(Widen(dir.file("missing")).c_str(), &missing));
    for (const tav_file_identity &same : {byName, byLink}) {
        EXPECT_EQ(byHandle.device, same.device);
        EXPECT_EQ(byHandle.file, same.file);
        EXPECT_EQ(5, same.size);
    }
    EXPECT_NE(byHandle.file, other.file);
}

} // namespace
