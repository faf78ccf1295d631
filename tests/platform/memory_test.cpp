// The heap helpers and the path encoding. (Memory-buffer reads and writes are
// tested through the engine's memory contents.)
#include <gtest/gtest.h>

#include "platform/paths.h"
#include "tagmill/platform.h"

namespace {

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

// Malformed code points and UTF-8 sequences become U+FFFD, one per bad unit.
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
