// User-defined string record: TXXX and COMM payload parsing and copying, and
// the payload it builds in its Unicode and single-byte forms.
#include "tagmill/user_defined_string.h"

#include "record_test_util.h"

using namespace tagmill;
using namespace testsupport;
using namespace recordtest;
using UserString = CTagmill::CUserDefinedString;

namespace {

struct Fields { std::wstring description, value; std::string language; int encoding; };

Fields FieldsOf(const UserString &record) {
    Fields f;
    record.GetDescription(f.description);
    record.GetData(f.value);
    unsigned char language[3];
    record.GetLanguage(language);
    f.language.assign(language, language + 3);
    f.encoding = record.TextEncoding();
    return f;
}

long Parse(UserString &record, const Bytes &payload, bool withLanguage) {
    return record.ParseFrameData(payload.data(), static_cast<long>(payload.size()), withLanguage);
}

Bytes FrameData(const UserString &record, bool unicode) {
    TaskBlock payload;
    EXPECT_EQ(S_OK, record.GetFrameData(&payload.block, &payload.size, unicode));
    EXPECT_EQ(record.GetFrameDataSize(unicode), payload.size);
    return payload.bytes();
}

TEST(UserString, ParsesBothLayoutsAndCopiesKeepEveryField) {
    const struct { Bytes payload; bool withLanguage; long result; std::wstring description, value; } cases[] = {
        {Concat({{0}, Ascii("GN_ExtData"), {0}, Ascii("abc")}), false, S_OK, L"GN_ExtData", L"abc"},
        {Concat({{1}, Ascii("eng"), {0xFF, 0xFE}, Utf16LeBytes(L"iTunSMPB"), {0, 0, 0xFF, 0xFE},
                 Utf16LeBytes(L" 0210")}), true, S_OK, L"iTunSMPB", L" 0210"},
        {{2, 0, 'd', 0, 0, 0x20, 0xAC}, false, S_OK, L"d", L"\u20AC"}, // big-endian without a mark
        {Concat({{3}, Ascii("d"), {0}, Ascii("v1"), {0}, Ascii("v2")}), false, S_OK, L"d", L"v1"},
        {Concat({{0}, Ascii("whole rest")}), false, S_OK, L"whole rest", L""},
        // UTF-16 fields end at an aligned zero pair only: 'A', U+0100 stays whole.
        {{1, 0xFF, 0xFE, 0x41, 0, 0, 1, 0, 0, 0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE}, false, S_OK, L"A\u0100",
         L"\U0001F600"},
        {Concat({{9}, Ascii("d"), {0}, Ascii("v")}), false, S_OK, L"", L""}, // unknown encoding
        // A UTF-8 field needs two bytes: an empty description does not decode.
        {Concat({{3}, Ascii("deu"), {0}, Ascii("text")}), true, E_FAIL, L"", L""},
        {{1}, false, E_FAIL, L"", L""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(Narrow(c.description));
        UserString record, assigned;
        EXPECT_EQ(c.result, Parse(record, c.payload, c.withLanguage));
        // The copy operations are written by hand: they must carry all four fields.
        assigned = record;
        const std::string language =
            c.withLanguage ? std::string(c.payload.begin() + 1, c.payload.begin() + 4) : std::string(3, '\0');
        for (const Fields &f : {FieldsOf(record), FieldsOf(UserString(record)), FieldsOf(assigned)})
            EXPECT_EQ(std::make_tuple(c.description, c.value, int(c.payload[0]), language),
                      std::make_tuple(f.description, f.value, f.encoding, f.language));
    }
    UserString record;
    EXPECT_EQ(E_UNEXPECTED, Parse(record, {0, 'e', 'n'}, true));
}

// The Unicode form holds each field in UTF-16 with a mark, the single-byte
// form narrows to ISO-8859-1 with '?' beyond it; FrameData checks the size
// reported for each.
TEST(UserString, BuildsUnicodeAndSingleByteForms) {
    const Bytes smpb = Concat({{1, 0xFF, 0xFE}, Utf16LeBytes(L"iTunSMPB"), {0, 0, 0xFF, 0xFE}});
    const struct { std::wstring description, value; bool unicode; Bytes payload; } cases[] = {
        {L"iTunSMPB", L"0123456789", true, Concat({smpb, Utf16LeBytes(L"0123456789"), {0, 0}})},
        {L"iTunSMPB", L"\U0001F600", true, Concat({smpb, {0x3D, 0xD8, 0x00, 0xDE, 0, 0}})},
        {L"ab", L"\u00E9\u65E5", false, {0, 'a', 'b', 0, 0xE9, '?', 0}},
    };
    for (const auto &c : cases) {
        UserString record;
        record.SetDescription(c.description);
        record.SetData(c.value);
        EXPECT_EQ(c.payload, FrameData(record, c.unicode)) << Narrow(c.value);
    }
}

} // namespace
