// Music-ID record: UFID payload parsing and building.
#include "tagmill/music_id.h"

#include <gtest/gtest.h>

#include "record_test_util.h"

using namespace tagmill;
using namespace testsupport;
using namespace recordtest;
using MusicId = CTagmill::CMusicId;

namespace {

TEST(MusicId, ParsesOnlySixtyFourByteIdentifiersWithAnOwner) {
    struct Case {
        Bytes payload;
        long result;
    };
    const Case cases[] = {
        {Concat({Ascii("ab"), {0}, Counting(64)}), S_OK},      {Concat({Ascii("ab"), {0}, Counting(63)}), E_INVALIDARG},
        {Concat({Ascii("ab"), {0}, Counting(65)}), E_INVALIDARG}, {Concat({{0}, Counting(66)}), E_INVALIDARG},
        {Bytes(67, 'a'), E_INVALIDARG},
    };
    for (const Case &c : cases) {
        MusicId id;
        ASSERT_EQ(c.result, id.ParseFrameData(c.payload.data(), static_cast<long>(c.payload.size())));
        EXPECT_EQ(c.result == S_OK ? 64 : 0, id.GetDataSize());
    }
    MusicId id;
    EXPECT_EQ(E_POINTER, id.ParseFrameData(nullptr, 67));
    EXPECT_EQ(E_INVALIDARG, id.ParseFrameData(cases[0].payload.data(), 0));
}

TEST(MusicId, FrameDataRoundTrip) {
    MusicId id;
    const Bytes identifier = Counting(64);
    EXPECT_EQ(E_INVALIDARG, id.SetOwnerId(""));
    EXPECT_EQ(E_INVALIDARG, id.SetData(identifier.data(), 63));
    unsigned char sentinel = 0, *out = &sentinel;
    long size = 0;
    EXPECT_EQ(E_UNEXPECTED, id.GetFrameData(&out, size));  // no owner yet
    EXPECT_EQ(nullptr, out);

    ASSERT_EQ(S_OK, id.SetOwnerId("ab"));
    ASSERT_EQ(S_OK, id.SetData(identifier.data(), 64));
    TaskBlock payload, data;
    ASSERT_EQ(S_OK, id.GetFrameData(&payload.block, payload.size));
    ASSERT_EQ(67, payload.size);
    EXPECT_EQ(Concat({Ascii("ab"), {0}, identifier}), payload.bytes());
    ASSERT_EQ(S_OK, id.GetData(&data.block, data.size));
    EXPECT_EQ(identifier, data.bytes());

    MusicId parsed;
    ASSERT_EQ(S_OK, parsed.ParseFrameData(payload.block, payload.size));
    std::string owner;
    parsed.GetOwnerId(owner);
    EXPECT_EQ("ab", owner);
    EXPECT_EQ(S_OK, parsed.GetFrameData(nullptr, payload.size));
}

} // namespace
