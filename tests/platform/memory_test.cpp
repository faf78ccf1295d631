// Memory-buffer I/O, the heap helpers, byte order and path encoding.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/paths.h"
#include "tagmill/platform.h"

namespace {

TEST(PlatformMemory, ReadIsCutToDataLength) {
    const uint8_t block[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    uint8_t out[100];
    uint32_t pos = 4;
    EXPECT_EQ(tav_read_from_memory(block, 10, &pos, out, 100), 6);
    EXPECT_EQ(pos, 10u);
    EXPECT_EQ(0, std::memcmp(out, block + 4, 6));
    EXPECT_EQ(tav_read_from_memory(block, 10, &pos, out, 100), 0);
    pos = 12;  // past the data: nothing copied, nothing moved
    EXPECT_EQ(tav_read_from_memory(block, 10, &pos, out, 1), 0);
    EXPECT_EQ(pos, 12u);
    EXPECT_EQ(tav_read_from_memory(block, 10, &pos, nullptr, 1), -1);
}

TEST(PlatformMemory, WriteGrowsToExactSize) {
    uint8_t *block = static_cast<uint8_t *>(tav_malloc(16));
    uint32_t capacity = 16, pos = 12;
    EXPECT_EQ(tav_write_to_memory(&block, &capacity, &pos, "ABCDEFGH", 8), 8);
    EXPECT_EQ(capacity, 20u);
    EXPECT_EQ(pos, 20u);
    EXPECT_EQ(0, std::memcmp(block + 12, "ABCDEFGH", 8));
    EXPECT_EQ(tav_write_to_memory(&block, &capacity, &pos, nullptr, 2), -1);
    tav_free(block);
    uint8_t *none = nullptr;  // a null block cannot grow
    capacity = pos = 0;
    EXPECT_EQ(tav_write_to_memory(&none, &capacity, &pos, "x", 1), -1);
    EXPECT_EQ(capacity, 0u);
}

TEST(PlatformHeap, ReallocAndStrndup) {
    EXPECT_EQ(tav_realloc(nullptr, 16), nullptr);
    struct { const wchar_t *text; size_t n; std::wstring copy; } cases[] = {
        {L"abcdefgh", 5, L"abcde"}, {L"ab", 5, L"ab"}, {L"\U0001F600x", 1, L"\U0001F600"}};
    for (const auto &c : cases) {
        wchar_t *copy = tav_rud_strndup(c.text, c.n);
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy[c.n], L'\0');
        EXPECT_EQ(std::wstring(copy), c.copy);
        tav_rud_free(copy);
    }
}

TEST(PlatformByteOrder, BigEndianOnTheWire) {
    uint32_t wire = tav_htonl(0x54495432);
    EXPECT_EQ(0, std::memcmp(&wire, "TIT2", 4));
    EXPECT_EQ(tav_ntohl(wire), 0x54495432u);
}

TEST(PlatformPaths, Utf8Conversion) {
    EXPECT_EQ(tav_path_to_utf8(L"a\u00E9\u65E5\U0001F600"), "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80");
    const wchar_t bad[] = {L'x', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000), 0};
    EXPECT_EQ(tav_path_to_utf8(bad), "x\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(tav_path_from_utf8("a\xC3\xA9\xF0\x9F\x98\x80"), L"a\u00E9\U0001F600");
    // Stray continuation, overlong form, encoded surrogate, truncated sequence.
    EXPECT_EQ(tav_path_from_utf8("\x80|\xC0\xAF|\xED\xA0\x80|\xE6\x97"),
              L"\uFFFD|\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD|\uFFFD\uFFFD");
}

} // namespace
