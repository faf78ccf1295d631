// The fault hook: each primitive fails when its operation is refused and
// touches nothing, so that the fault-injection tests above this layer see a
// failure exactly where they asked for one.
#include "support/crash_support.h"

using namespace testsupport;

namespace {

int RefuseOne(tav_op op, void *user) { return op == *static_cast<tav_op *>(user); }

TEST(PlatformFaults, EachPrimitiveFailsOnItsOperation) {
    TempDir dir;
    WriteFile(dir.file("f"), Ascii("0123456789"));
    const std::wstring f = dir.wfile("f"), g = dir.wfile("g"), d = Widen(dir.path());
    int32_t h = -1, unused = 9;
    ASSERT_EQ(tav_open(f.c_str(), 0x2, &h), 0);
    char buf[4];
    wchar_t name[TAV_PATH_MAX];
    uint8_t *block = static_cast<uint8_t *>(tav_malloc(1));
    uint32_t capacity = 1, pos = 0;
    struct { tav_op op; std::function<int64_t()> call; int64_t failure; } cases[] = {
        {TAV_OP_OPEN, [&] { return tav_open(g.c_str(), 0xC2, &unused); }, -1},
        {TAV_OP_READ, [&] { return tav_read(h, buf, 4); }, -1},
        {TAV_OP_WRITE, [&] { return tav_write(h, "ab", 2); }, -1},
        {TAV_OP_LSEEK, [&] { return tav_lseek(h, 1, 0); }, -1},
        {TAV_OP_TRUNCATE, [&] { return tav_set_end_of_file(h); }, -1},
        {TAV_OP_UNLINK, [&] { return tav_unlink(f.c_str()); }, -1},
        {TAV_OP_RENAME, [&] { return tav_rename(f.c_str(), g.c_str()); }, -1},
        {TAV_OP_TEMP_NAME, [&] { return tav_get_temp_file_name(d.c_str(), name); }, 0},
        {TAV_OP_ALLOC, [&] { return tav_malloc(8) != nullptr; }, 0},
        {TAV_OP_ALLOC, [&] { return tav_rud_calloc(8) != nullptr; }, 0},
        {TAV_OP_ALLOC, [&] { return tav_write_to_memory(&block, &capacity, &pos, "abcd", 4); }, -1},
        {TAV_OP_CLOSE, [&] { return tav_close(&h); }, -1},
    };
    for (const auto &c : cases) {
        tav_op refused = c.op;
        ScopedFaultHook hook(RefuseOne, &refused);
        EXPECT_EQ(c.call(), c.failure) << "operation " << c.op;
    }
    EXPECT_EQ(unused, 9);
    EXPECT_EQ(capacity, 1u);
    EXPECT_EQ(tav_lseek(h, 0, 1), 0); // the handle survived the refused close
    EXPECT_EQ(tav_close(&h), 0);
    EXPECT_EQ(ReadFile(dir.file("f")), Ascii("0123456789"));
    EXPECT_FALSE(FileExists(dir.file("g")));
    EXPECT_TRUE(TempFilesWithPrefix(dir.path()).empty());
    tav_free(block);
}

} // namespace
