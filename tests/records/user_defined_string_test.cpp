// User-defined string record: TXXX and COMM payload parsing, the payload it
// builds in its Unicode and single-byte forms, and copying.
#include "tagmill/user_defined_string.h"

#include <gtest/gtest.h>

#include "record_test_util.h"

using namespace tagmill;
using namespace testsupport;
using namespace recordtest;
using UserString = CTagmill::CUserDefinedString;

namespace {

struct Parsed {
    long result;
    std::wstring description, value;
    std::string language;
};

Parsed Snapshot(const UserString &record, long result = S_OK) {
    Parsed out;
    out.result = result;
    record.GetDescription(out.description);
    record.GetData(out.value);
    unsigned char language[3];
    record.GetLanguage(language);
    out.language.assign(language, language + 3);
    return out;
}

Parsed Parse(UserString &record, const Bytes &payload, bool withLanguage) {
    return Snapshot(record, record.ParseFrameData(payload.data(), static_cast<long>(payload.size()), withLanguage));
}

Bytes FrameData(const UserString &record, bool unicode) {
    TaskBlock payload;
    EXPECT_EQ(S_OK, record.GetFrameData(&payload.block, &payload.size, unicode));
    EXPECT_EQ(record.GetFrameDataSize(unicode), payload.size);
    return payload.bytes();
}

TEST(UserString, ParsesBothLayouts) {
    struct Case {
        Bytes payload;
        bool withLanguage;
        long result;
        std::wstring description, value;
    };
    const Case cases[] = {
        {Concat({{0}, Ascii("GN_ExtData"), {0}, Ascii("abc")}), false, S_OK, L"GN_ExtData", L"abc"},
        {Concat({{1}, Ascii("eng"), {0xFF, 0xFE}, Utf16Le(u"iTunSMPB"), {0, 0, 0xFF, 0xFE}, Utf16Le(u" 0210")}), true,
         S_OK, L"iTunSMPB", L" 0210"},
        {{2, 0, 'd', 0, 0, 0x20, 0xAC}, false, S_OK, L"d", L"\u20AC"},  // big-endian without a mark
        {Concat({{3}, Ascii("d"), {0}, Ascii("v1"), {0}, Ascii("v2")}), false, S_OK, L"d", L"v1"},
        {Concat({{0}, Ascii("whole rest")}), false, S_OK, L"whole rest", L""},
        // UTF-16 fields end at an aligned zero pair only: 'A', U+0100 stays whole.
        {{1, 0xFF, 0xFE, 0x41, 0, 0, 1, 0, 0, 0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE}, false, S_OK, L"A\u0100",
         L"\U0001F600"},
        {Concat({{9}, Ascii("d"), {0}, Ascii("v")}), false, S_OK, L"", L""},  // unknown encoding
        // UTF-8 fields need two bytes: a one-byte value, an empty description.
        {{3, 'd', 0, 'v'}, false, E_FAIL, L"d", L""},
        {Concat({{3}, Ascii("deu"), {0}, Ascii("text")}), true, E_FAIL, L"", L""},
        {{1}, false, E_FAIL, L"", L""},
    };
    for (const Case &c : cases) {
        UserString record;
        const Parsed p = Parse(record, c.payload, c.withLanguage);
        EXPECT_EQ(c.result, p.result);
        EXPECT_EQ(c.description, p.description);
        EXPECT_EQ(c.value, p.value);
        EXPECT_EQ(c.payload[0], record.TextEncoding());
        EXPECT_EQ(c.withLanguage ? std::string(c.payload.begin() + 1, c.payload.begin() + 4) : std::string(3, '\0'),
                  p.language);
    }
    UserString record;
    const Bytes comm3{0, 'e', 'n'};
    EXPECT_EQ(E_UNEXPECTED, Parse(record, comm3, true).result);
    EXPECT_EQ(E_POINTER, record.ParseFrameData(nullptr, 5, false));
    EXPECT_EQ(E_INVALIDARG, record.ParseFrameData(comm3.data(), 0, false));
}

TEST(UserString, BuildsUnicodeAndSingleByteForms) {
    UserString record;
    record.SetDescription(L"iTunSMPB");
    record.SetData(L"0123456789");
    EXPECT_EQ(45, record.GetFrameDataSize(true));
    EXPECT_EQ(Concat({{1, 0xFF, 0xFE}, Utf16Le(u"iTunSMPB"), {0, 0, 0xFF, 0xFE}, Utf16Le(u"0123456789"), {0, 0}}),
              FrameData(record, true));

    record.SetData(L"\U0001F600");  // two UTF-16 units
    EXPECT_EQ(2 * (8 + 2) + 9, record.GetFrameDataSize(true));
    UserString parsed;
    EXPECT_EQ(L"\U0001F600", Parse(parsed, FrameData(record, true), false).value);

    record.SetDescription(L"ab");
    record.SetData(L"c");
    EXPECT_EQ((Bytes{0, 'a', 'b', 0, 'c', 0}), FrameData(record, false));
    record.SetData(L"\u00E9\u20AC");
    EXPECT_EQ((Bytes{0, 'a', 'b', 0, 0xE9, '?', 0}), FrameData(record, false));
    long size = 0;
    EXPECT_EQ(S_OK, record.GetFrameData(nullptr, &size, false));
}

TEST(UserString, CopiesKeepLanguageAndEncoding) {
    UserString record;
    ASSERT_EQ(S_OK, Parse(record, Concat({{0}, Ascii("XXX"), Ascii("desc"), {0}, Ascii("text")}), true).result);
    UserString copy(record), assigned;
    assigned = record;
    for (const UserString *r : {&copy, &assigned}) {
        const Parsed p = Snapshot(*r);
        EXPECT_EQ(L"desc", p.description);
        EXPECT_EQ(L"text", p.value);
        EXPECT_EQ("XXX", p.language);
        EXPECT_EQ(0, r->TextEncoding());
    }
    UserString fresh;
    EXPECT_EQ(std::string(3, '\0'), Snapshot(fresh).language);
    EXPECT_EQ(1, fresh.TextEncoding());
}

} // namespace
