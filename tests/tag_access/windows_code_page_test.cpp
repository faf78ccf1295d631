// On Windows the single-byte text of a tag is in the calling thread's ANSI
// code page: ID3v1 fields, encoding-0 text frames and URL frames follow the
// host's locale (1252 in Western Europe, 932 in Japan) both ways, and a
// character the code page lacks is written as '?'.
#ifdef _WIN32
#include <windows.h>


#include <cstdlib>

#include "support/frame_extract.h"
#include "support/test_support.h"
#include "tagmill/tagmill.h"

using namespace testsupport;
using namespace tagmill;

namespace {

constexpr long kTitle = 4615, kArtist = 4624, kArtistUrl = 4646;

// text holds one character each code page lacks; bytes is text as written.
const struct CodePageCase {
    UINT codePage;
    LANGID language;
    std::wstring text, readable;
    std::string bytes;
} kCases[] = {
    // The euro sign is 0x80 in 1252, a control character in ISO-8859-1.
    {1252, MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), L"Caf\u00E9 \u20AC\u65E5", L"Caf\u00E9 \u20AC",
     "Caf\xE9 \x80?"},
    {932, MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), L"\u65E5\u672C\u8A9E\uD55C", L"\u65E5\u672C\u8A9E",
     "\x93\xFA\x96\x7B\x8C\xEA?"},
};

std::string Field(const Bytes &v1, size_t offset) {
    std::string field(v1.begin() + offset, v1.begin() + offset + 30);
    return field.substr(0, field.find('\0'));
}

// Writes: the title's ID3v1 field and the artist URL frame carry the bytes.
// Reads: an encoding-0 title frame and an ID3v1 artist give the text back.
void CheckCodePage(const CodePageCase &c) {
    TempDir dir;
    const std::string path = dir.file("song.mp3");
    WriteFile(path, Concat({TagV2(3, {{"TIT2", Latin1Text("x")}}, 64), FakeAudio(2), TagV1("x")}));
    {
        CTagmill tag;
        ASSERT_EQ(tag.Open(Widen(path), 2), S_OK);
        ASSERT_EQ(tag.PutString(kTitle, {c.text}), S_OK);
        ASSERT_EQ(tag.PutString(kArtistUrl, {L"http://x/" + c.text}), S_OK);
        ASSERT_EQ(tag.Close(), S_OK);
    }
    const Bytes written = ReadFile(path);
    const Bytes v1(written.end() - 128, written.end());
    EXPECT_EQ(Field(v1, 3), c.bytes);
    const std::vector<Bytes> urls = ParseTag(written).Payloads("WOAR");
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_EQ(std::string(urls[0].begin(), urls[0].end()), "http://x/" + c.bytes);

    WriteFile(path, Concat({TagV2(3, {{"TIT2", Latin1Text(c.bytes)}}, 64), FakeAudio(2), TagV1("t", c.bytes)}));
    CTagmill tag;
    ASSERT_EQ(tag.Open(Widen(path), 1), S_OK);
    const std::wstring read = c.readable + L"?";
    EXPECT_EQ(Values(tag, kTitle), std::vector<std::wstring>{read});
    EXPECT_EQ(Values(tag, kArtist), std::vector<std::wstring>{read});
}

// SetThreadLocale switches the code page of the calling thread only.
TEST(WindowsCodePage, ThreadLocaleChoosesTheCodePage) {
    const LCID saved = GetThreadLocale();
    for (const CodePageCase &c : kCases) {
        SCOPED_TRACE(testing::Message() << "code page " << c.codePage);
        ASSERT_TRUE(SetThreadLocale(MAKELCID(c.language, SORT_DEFAULT)));
        CheckCodePage(c);
    }
    SetThreadLocale(saved);
}

// The process's own code page comes from the host's locale: ctest runs this
// once more under a Japanese locale, naming the code page it must see in
// TAGMILL_EXPECTED_ANSI_CODE_PAGE.
TEST(WindowsCodePage, HostLocaleChoosesTheCodePage) {
    if (const char *expected = std::getenv("TAGMILL_EXPECTED_ANSI_CODE_PAGE")) {
        ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected)));
    }
    for (const CodePageCase &c : kCases)
        if (c.codePage == GetACP()) return CheckCodePage(c);
    GTEST_SKIP() << "no case for code page " << GetACP();
}

} // namespace
#endif
