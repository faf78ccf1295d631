// GEOB record: the single-byte payload it writes, and payloads in the four
// text encodings it reads.
#include "tagmill/geob.h"

#include <gtest/gtest.h>

#include "record_test_util.h"

using namespace tagmill;
using namespace testsupport;
using namespace recordtest;
using Geob = CTagmill::CGeob;

namespace {

struct Fields {
    std::string mime;
    std::wstring description;
    Bytes data;
};

Fields FieldsOf(const Geob &geob) {
    Fields f;
    geob.GetMimeType(f.mime);
    geob.GetDescription(f.description);
    TaskBlock block;
    EXPECT_EQ(S_OK, geob.GetData(&block.block, block.size));
    f.data = block.bytes();
    return f;
}

TEST(Geob, WritesSingleByteLayoutAndReadsItBack) {
    Geob geob;
    const Bytes data{7, 8, 9};
    ASSERT_EQ(S_OK, geob.SetDescription(L"USR"));
    ASSERT_EQ(S_OK, geob.SetData(data.data(), 3));
    EXPECT_EQ(16, geob.GetFrameDataSize());
    TaskBlock payload;
    ASSERT_EQ(S_OK, geob.GetFrameData(&payload.block, payload.size));
    EXPECT_EQ(Concat({{0}, Ascii("binary"), {0, 0}, Ascii("USR"), {0}, data}), payload.bytes());

    Geob parsed;
    ASSERT_EQ(S_OK, parsed.ParseFrameData(payload.block, payload.size));
    const Fields f = FieldsOf(parsed);
    EXPECT_EQ("binary", f.mime);
    EXPECT_EQ(L"USR", f.description);
    EXPECT_EQ(data, f.data);

    // Characters outside ISO-8859-1 narrow to '?' in the payload only.
    ASSERT_EQ(S_OK, geob.SetMimeType(""));
    ASSERT_EQ(S_OK, geob.SetDescription(L"\u00E9\u20AC"));
    TaskBlock narrow;
    ASSERT_EQ(S_OK, geob.GetFrameData(&narrow.block, narrow.size));
    EXPECT_EQ(Concat({{0, 0, 0, 0xE9, '?', 0}, data}), narrow.bytes());
    EXPECT_EQ(L"\u00E9\u20AC", FieldsOf(geob).description);
}

TEST(Geob, ReadsAllFourEncodings) {
    struct Case {
        Bytes payload;
        std::wstring description;
    };
    const Case cases[] = {
        {{0, 'x', 0, 0, 'U', 0xE9, 0, 0xCA}, L"U\u00E9"},
        {Concat({{1, 'x', 0, 0xFF, 0xFE, 0, 0, 0xFF, 0xFE}, Utf16Le(u"U\u20AC"), {0, 0, 0xCA}}), L"U\u20AC"},
        {{2, 'x', 0, 0, 0, 0, 'U', 0, 'S', 0, 0, 0xCA}, L"US"},
        {{3, 'x', 0, 0, 'U', 0xE2, 0x82, 0xAC, 0, 0xCA}, L"U\u20AC"},
        {{0, 'x', 0, 0, 0, 0xCA}, L""},
        // UTF-16 terminators are searched byte by byte: 'A', U+0100 ends early.
        {{1, 'x', 0, 0xFF, 0xFE, 0, 0, 0xFF, 0xFE, 0x41, 0, 0, 1, 0, 0xCA}, L"A"},
    };
    for (const Case &c : cases) {
        Geob geob;
        ASSERT_EQ(S_OK, geob.ParseFrameData(c.payload.data(), static_cast<long>(c.payload.size())));
        const Fields f = FieldsOf(geob);
        EXPECT_EQ("x", f.mime);
        EXPECT_EQ(c.description, f.description);
        EXPECT_EQ(0xCA, f.data.back());
    }
}

TEST(Geob, MalformedPayloadsKeepTheMimeTypeAlreadyRead) {
    struct Case {
        Bytes payload;
        long result;
        std::string mime;
    };
    const Case cases[] = {
        {Concat({{0}, Ascii("mime")}), E_INVALIDARG, "binary"},       // no MIME terminator
        {{0, 'x', 0, 0, 'U', 'S', 0}, E_FAIL, "x"},                    // description ends at the last byte
        {{2, 'x', 0, 0, 0, 0, 'U', 0, 0}, E_FAIL, "x"},                // ... at the last pair
        {{0, 'x', 0, 0}, E_FAIL, "x"},                                 // description past the end
        {{1, 'x', 0, 0xFF, 0xFE, 0}, E_FAIL, "x"},                     // file name cut short
        {{4, 'x', 0, 0, 0, 'U', 0, 0, 1}, E_FAIL, "x"},                // unknown encoding
        {{3, 'x', 0, 0, 'U', 'S', 'R'}, E_FAIL, "x"},                  // unterminated description
    };
    for (const Case &c : cases) {
        Geob geob;
        EXPECT_EQ(c.result, geob.ParseFrameData(c.payload.data(), static_cast<long>(c.payload.size())));
        EXPECT_EQ(c.mime, FieldsOf(geob).mime);
        EXPECT_EQ(0, geob.GetDataSize());
    }
    Geob geob;
    EXPECT_EQ(E_POINTER, geob.ParseFrameData(nullptr, 4));
    EXPECT_EQ(E_INVALIDARG, geob.ParseFrameData(cases[0].payload.data(), 0));
}

} // namespace
