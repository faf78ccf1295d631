// Text decoding: the codec functions on their own (surrogates, malformed
// input, the single-byte set), and text payloads read through a title frame.
#include <gtest/gtest.h>

#include "support/read_support.h"
#include "tag_access/text_codec.h"

using namespace testsupport;
using namespace tagmill;

namespace {

Bytes Raw(std::initializer_list<uint8_t> bytes) { return Bytes(bytes); }

TEST(TextCodec, DecodersReplaceMalformedInputAndJoinSurrogatePairs) {
    const std::wstring smiley(1, wchar_t(0x1F600));
    struct Case { Bytes in; std::wstring out; } utf8[] = {
        {Raw({0x41, 0xE2, 0x82, 0xAC, 0x00, 0x42}), L"A\u20AC"}, // stops at the first zero byte
        {Raw({0xF0, 0x9F, 0x98, 0x80}), smiley},
        {Raw({0xC3, 0x28}), L"\uFFFD("},                      // broken two-byte sequence
        {Raw({0xC0, 0xAF, 0x80}), L"\uFFFD\uFFFD\uFFFD"},      // overlong lead, stray continuation
        {Raw({0xED, 0xA0, 0x80}), L"\uFFFD\uFFFD\uFFFD"},      // encoded surrogate
        {Raw({0xF4, 0x90, 0x80, 0x80}), L"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
        {Raw({0xE2, 0x82}), L"\uFFFD"},                        // cut off at the end
    };
    for (const Case &c : utf8) EXPECT_EQ(text::DecodeUtf8(c.in.data(), c.in.size()), c.out);

    const Bytes le = Raw({0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xD8, 0x42, 0x00, 0x00, 0xDC, 0x43});
    EXPECT_EQ(text::DecodeUtf16(le.data(), le.size(), false), smiley + L"\uFFFDB\uFFFD"); // odd byte ignored
    const Bytes be = Raw({0x00, 0x41, 0x00, 0x00, 0x00, 0x42});
    EXPECT_EQ(text::DecodeUtf16(be.data(), be.size(), true), L"A");
}

TEST(TextCodec, EncodersHandleSurrogatePairsAndTheSingleByteSet) {
    const std::wstring text = L"A" + std::wstring(1, wchar_t(0x1F600)) + L"\u00E9";
    std::vector<unsigned char> out;
    text::AppendUtf16Le(out, text + std::wstring{wchar_t(0xD800)});
    EXPECT_EQ(out, (std::vector<unsigned char>{0x41, 0, 0x3D, 0xD8, 0x00, 0xDE, 0xE9, 0, 0xFD, 0xFF}));
    EXPECT_EQ(text::Utf16Length(text), 4u);
    EXPECT_EQ(text::ToUtf8(text), "A\xF0\x9F\x98\x80\xC3\xA9");
    EXPECT_EQ(text::ToLatin1(std::wstring(L"A\u00E9\u20AC\0C", 5)), "A\xE9?");
    const char bytes[] = {'A', char(0xFF), 0, 'C'};
    EXPECT_EQ(text::FromLatin1(bytes, 4), L"A\u00FF");
}

// The title frame's payload in tags of each version, each with an ID3v1 title
// "Foo" beside it: a payload that fails to decode falls back to "Foo", an empty
// but valid one reads as absent (expected nullptr).
TEST(TitlePayload, DecodesInEveryVersion) {
    const std::wstring smiley(1, wchar_t(0x1F600));
    const wchar_t *const fails = L"Foo";
    const struct {
        const char *name;
        Bytes payload;
        const wchar_t *expected;
    } cases[] = {
        {"UTF-16LE, first value only", Raw({1, 0xFF, 0xFE, 0x41, 0, 0x42, 0, 0, 0, 0x43, 0}), L"AB"},
        {"UTF-16 big-endian mark", Raw({1, 0xFE, 0xFF, 0, 0x41, 0, 0x42}), L"AB"},
        {"UTF-16BE encoding byte", Raw({2, 0, 0x41, 0, 0x42}), L"AB"},
        {"UTF-16 without a mark is big-endian", Raw({1, 0, 0x41, 0, 0x42}), L"AB"},
        {"UTF-16 surrogate pair", Raw({1, 0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE}), smiley.c_str()},
        {"UTF-16BE odd tail byte", Raw({1, 0xFE, 0xFF, 0, 0x41, 0x42}), L"A\u4200"},
        {"UTF-16 empty text", Raw({1, 0xFF, 0xFE, 0, 0}), nullptr},
        {"UTF-16 single byte", Raw({1, 0x41}), fails},
        {"UTF-8 needs two bytes", Raw({3, 0x41}), fails},
        {"UTF-8 terminated", Raw({3, 0x41, 0}), L"A"},
        {"UTF-8 euro sign", Raw({3, 0xE2, 0x82, 0xAC}), L"\u20AC"},
        {"Latin-1 single byte", Raw({0, 0x41}), L"A"},
        {"Latin-1 high byte, first value", Raw({0, 0xE9, 0, 0x42}), L"\u00E9"},
        {"encoding byte alone", Raw({0}), nullptr},
        {"empty payload", Raw({}), fails},
        {"unknown encoding", Raw({4, 0x41}), fails},
    };
    for (const auto &c : cases) {
        for (int major : {2, 3, 4}) {
            SCOPED_TRACE(std::string(c.name) + " in v2." + std::to_string(major));
            CTagmill tag;
            const std::string id = major == 2 ? "TT2" : "TIT2";
            ASSERT_EQ(OpenBytes(tag, Concat({TagV2(major, {{id, c.payload}}), TagV1("Foo")})), S_OK);
            long hr = 0;
            const std::vector<std::wstring> values = Values(tag, 4615, &hr);
            EXPECT_EQ(hr, c.expected ? S_OK : E_PROPERTY_ABSENT);
            if (c.expected) {
                EXPECT_EQ(values, std::vector<std::wstring>{c.expected});
            }
        }
    }
}

} // namespace
