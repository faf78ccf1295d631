// Music-ID and GEOB records: which UFID payloads the music ID accepts and the
// payload it builds; how the GEOB record reads payloads in each text
// encoding, malformed ones included. (The payloads both write are checked
// byte for byte by the commit tests of the record properties.)
#include "tagmill/geob.h"
#include "tagmill/music_id.h"

#include "record_test_util.h"

using namespace tagmill;
using namespace testsupport;
using namespace recordtest;
using Geob = CTagmill::CGeob;
using MusicId = CTagmill::CMusicId;

namespace {

// The payload built, the owner, a zero byte and the identifier, parses back;
// only 64-byte identifiers with an owner parse.
TEST(MusicId, BuildsAndParsesOwnerZeroIdentifier) {
    MusicId built;
    ASSERT_EQ(S_OK, built.SetOwnerId("ab"));
    ASSERT_EQ(S_OK, built.SetData(Counting(64).data(), 64));
    TaskBlock payload;
    ASSERT_EQ(S_OK, built.GetFrameData(&payload.block, payload.size));
    EXPECT_EQ(Concat({Ascii("ab"), {0}, Counting(64)}), payload.bytes());
    const std::pair<Bytes, long> cases[] = {
        {payload.bytes(), S_OK},
        {Concat({Ascii("ab"), {0}, Counting(63)}), E_INVALIDARG},
        {Concat({Ascii("ab"), {0}, Counting(65)}), E_INVALIDARG},
        {Concat({{0}, Counting(66)}), E_INVALIDARG}, // no owner
        {Bytes(67, 'a'), E_INVALIDARG},              // no zero byte
    };
    for (const auto &[bytes, result] : cases) {
        MusicId id;
        ASSERT_EQ(result, id.ParseFrameData(bytes.data(), static_cast<long>(bytes.size())));
        EXPECT_EQ(result == S_OK ? 64 : 0, id.GetDataSize());
        if (result != S_OK) continue;
        std::string owner;
        id.GetOwnerId(owner);
        TaskBlock data;
        ASSERT_EQ(S_OK, id.GetData(&data.block, data.size));
        EXPECT_EQ(std::make_pair(std::string("ab"), Counting(64)), std::make_pair(owner, data.bytes()));
    }
}

struct Parsed { long result; std::string mime; std::wstring description; Bytes data; };

Parsed Parse(const Bytes &payload) {
    Geob geob;
    Parsed p;
    p.result = geob.ParseFrameData(payload.data(), static_cast<long>(payload.size()));
    geob.GetMimeType(p.mime);
    geob.GetDescription(p.description);
    TaskBlock block;
    EXPECT_EQ(S_OK, geob.GetData(&block.block, block.size));
    p.data = block.bytes();
    return p;
}

TEST(Geob, ParsesEachEncodingAndKeepsTheMimeTypeOnFailure) {
    const struct { Bytes payload; Parsed expected; } cases[] = {
        {Concat({{0}, Ascii("binary"), {0, 0}, Ascii("USR"), {0, 7, 8, 9}}), {S_OK, "binary", L"USR", {7, 8, 9}}},
        {Concat({{1, 'x', 0, 0xFF, 0xFE, 0, 0, 0xFF, 0xFE}, Utf16LeBytes(L"U\u20AC"), {0, 0, 0xCA}}),
         {S_OK, "x", L"U\u20AC", {0xCA}}},
        {{2, 'x', 0, 0, 0, 0, 'U', 0, 'S', 0, 0, 0xCA}, {S_OK, "x", L"US", {0xCA}}},
        {{3, 'x', 0, 0, 'U', 0xE2, 0x82, 0xAC, 0, 0xCA}, {S_OK, "x", L"U\u20AC", {0xCA}}},
        {{0, 'x', 0, 0, 0, 0xCA}, {S_OK, "x", L"", {0xCA}}},
        // UTF-16 terminators are searched byte by byte: 'A', U+0100 ends early.
        {{1, 'x', 0, 0xFF, 0xFE, 0, 0, 0xFF, 0xFE, 0x41, 0, 0, 1, 0, 0xCA}, {S_OK, "x", L"A", {1, 0, 0xCA}}},
        // Failures; a MIME type read before the failure stays.
        {Concat({{0}, Ascii("mime")}), {E_INVALIDARG, "binary", L"", {}}}, // no MIME terminator
        {{0, 'x', 0, 0, 'U', 'S', 0}, {E_FAIL, "x", L"", {}}},             // description ends at the last byte
        {{2, 'x', 0, 0, 0, 0, 'U', 0, 0}, {E_FAIL, "x", L"", {}}},         // ... at the last pair
        {{1, 'x', 0, 0xFF, 0xFE, 0}, {E_FAIL, "x", L"", {}}},              // file name cut short
        {{4, 'x', 0, 0, 0, 'U', 0, 0, 1}, {E_FAIL, "x", L"", {}}},         // unknown encoding
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Parsed p = Parse(cases[i].payload), &e = cases[i].expected;
        EXPECT_EQ(std::tie(e.result, e.mime, e.description, e.data), std::tie(p.result, p.mime, p.description, p.data))
            << "case " << i;
    }
}

// A negative size fails as an allocation would, leaving no data.
TEST(Geob, NegativeDataSizeLeavesNoData) {
    const Bytes data = Counting(10);
    Geob geob;
    ASSERT_EQ(S_OK, geob.SetData(data.data(), 10));
    EXPECT_EQ(E_OUTOFMEMORY, geob.SetData(data.data(), -1));
    EXPECT_EQ(0, geob.GetDataSize());
}

} // namespace
