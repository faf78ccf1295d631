// Content operations: memory seeks bounded by the data length, memory writes
// that grow the buffer but never the data length, and file seeks that grow a
// writable file with zeros.
#include <gtest/gtest.h>

#include "support/context_support.h"

using namespace testsupport;

namespace {

Bytes Counting(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i);
    return b;
}

TEST(ContentIoMemory, SeeksStayWithinDataLength) {
    Context context;
    ASSERT_EQ(context.OpenMemory(Counting(1000)), TAV_OK);
    const struct {
        int32_t offset, origin;
        int64_t expected;
        uint32_t position_after;
    } steps[] = {
        {500, 0, 500, 500},  {-1, 1, 499, 499},   {1, 1, 500, 500},    {-128, 2, 872, 872}, {0, 2, 1000, 1000},
        {1001, 0, -1, 1000}, {1, 2, -1, 1000},    {-1001, 1, -1, 1000}, {0, 3, -1, 1000},   {0, 0, 0, 0},
    };
    for (const auto &s : steps) {
        EXPECT_EQ(tav_id3_seek_content(context.get(), s.offset, s.origin), s.expected) << s.offset << "/" << s.origin;
        EXPECT_EQ(context->memory->position, s.position_after);
    }
}

// A read stops at the data length; a write past the capacity grows the
// buffer to exactly its end but leaves the data length alone.
TEST(ContentIoMemory, ReadsAndWrites) {
    Context context;
    ASSERT_EQ(context.OpenMemory(Counting(16)), TAV_OK);
    uint8_t buffer[100];
    ASSERT_EQ(tav_id3_seek_content(context.get(), 10, 0), 10);
    EXPECT_EQ(tav_id3_read_content(context.get(), buffer, 100), 6);
    EXPECT_EQ(tav_id3_read_content(context.get(), buffer, 100), 0);

    const Bytes bytes = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7};
    ASSERT_EQ(tav_id3_seek_content(context.get(), 12, 0), 12);
    EXPECT_EQ(tav_id3_write_content(context.get(), bytes.data(), 8), 8);
    const tav_id3_memory_content *m = context->memory;
    EXPECT_EQ(m->capacity, 20u);
    EXPECT_EQ(m->position, 20u);
    EXPECT_EQ(m->data_length, 16u);
    EXPECT_EQ(Bytes(m->buffer + 12, m->buffer + 20), bytes);
    EXPECT_EQ(tav_id3_seek_content(context.get(), 20, 0), -1);
}

TEST(ContentIoFile, SeekPastEndExtendsWritableFile) {
    TempDir dir;
    WriteFile(dir.file("a.bin"), Counting(50));
    Context context;
    ASSERT_EQ(context.OpenFile(dir.wfile("a.bin"), 2), TAV_OK);
    // The result is where the platform seek stopped: the old end.
    EXPECT_EQ(tav_id3_seek_content(context.get(), 150, 0), 50);
    EXPECT_EQ(tav_id3_seek_content(context.get(), 700, 0), 150); // several 256-byte pieces
    const uint8_t tail = 0xEE;
    EXPECT_EQ(tav_id3_write_content(context.get(), &tail, 1), 1);
    context.Destroy();
    EXPECT_EQ(ReadFile(dir.file("a.bin")), Concat({Counting(50), Bytes(650, 0), Bytes{0xEE}}));
}

} // namespace
