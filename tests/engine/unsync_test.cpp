// Unsynchronised tags: the de-unsynchronising read, and frame reading in tags
// whose bytes carry inserted zeros. (Positioning at logical offsets, from the
// start and resumed, is compared by the read-cache test on tags full of FF
// bytes.)
#include "engine/internal.h"
#include "support/edit_support.h"

using namespace testsupport;

namespace {

int64_t Position(Context &c) { return tav_id3_seek_content(c.get(), 0, 1); }

} // namespace

TEST(Unsync, ReadDropsInsertedZeros) {
    // consumed -1: the read fails
    struct Case { Bytes content; uint32_t n; Bytes out; int64_t consumed; } cases[] = {
        {{0xFF, 0x00, 0x41}, 2, {0xFF, 0x41}, 3},
        {{0xFF, 0x00, 0x00, 0x41}, 2, {0xFF, 0x00}, 3},
        {{0xFF, 0xFF, 0x00, 0x41}, 3, {0xFF, 0xFF, 0x41}, 4},
        {{0x41, 0xFF, 0x00, 0x42}, 2, {0x41, 0xFF}, 3}, // trailing FF takes its zero along
        {{0x41, 0xFF, 0xE0}, 2, {0x41, 0xFF}, 2},       // ... but leaves any other byte
        {{0x41, 0xFF}, 2, {0x41, 0xFF}, 2},
        {{0xFF, 0x00, 0x41}, 3, {}, -1},
    };
    for (const Case &k : cases) {
        Context c;
        ASSERT_EQ(TAV_OK, c.OpenMemory(k.content));
        Bytes out(k.n);
        uint32_t consumed = 0;
        ASSERT_EQ(k.consumed < 0 ? -1 : 0, tav_id3_v2_read_unsync(c.get(), out.data(), k.n, 1, &consumed));
        if (k.consumed < 0) continue;
        EXPECT_EQ(k.out, out);
        EXPECT_EQ(std::make_pair(k.consumed, k.consumed), std::make_pair(int64_t(consumed), Position(c)));
    }
}

// Inserted zeros in frame data and in a frame header (size 00 00 00 FF):
// frames are found, data comes back decoded, offsets are true content
// offsets. The tag size counts the inserted zeros, more of them than a frame
// header's length here.
TEST(Unsync, FramesOfAnUnsynchronisedTag) {
    Bytes artist(255, 0x42);
    artist[254] = 0xFF;
    const struct { const char *id; Bytes data; uint32_t offset; } frames[] = {
        {"TIT2", {0x01, 0xFF, 0xFE, 0x41, 0x00, 0xFF, 0x00, 0x41}, 20},
        {"TPE1", artist, 20 + 10 + 11},
        {"TALB", Concat({Bytes(12, 0xFF), Bytes{0}}), 20 + 10 + 11 + 255 + 10},
    };
    Bytes body;
    for (const auto &f : frames) body = Concat({body, Frame23(f.id, f.data)});
    // The walk compares de-unsynchronised positions with the stored tag end,
    // so after the last frame it still finds room for a header (the inserted
    // zeros) and reads one at the tag's end: padding there ends the walk, the
    // end of a bare tag fails the count.
    const Bytes stored = Unsynchronise(body);
    Context bare, c;
    uint32_t none = 7;
    ASSERT_EQ(TAV_OK, bare.OpenMemory(Id3Tag(3, stored, 0x80)));
    EXPECT_EQ(TAV_ERR_READ, tav_id3_v2_get_frame_num(bare.get(), FrameId("TIT2"), &none));
    EXPECT_EQ(0u, none);
    ASSERT_EQ(TAV_OK, c.OpenMemory(Id3Tag(3, Concat({stored, Bytes(10, 0)}), 0x80)));
    for (const auto &f : frames) {
        Bytes out(300);
        uint32_t size = (uint32_t)out.size(), offset = 0, n = 0;
        ASSERT_EQ(TAV_OK, tav_id3_v2_get_frame_data(c.get(), FrameId(f.id), 0, &size, out.data()));
        EXPECT_EQ(f.data, Bytes(out.begin(), out.begin() + size));
        ASSERT_EQ(TAV_OK, tav_id3_v2_get_frame_data_offset(c.get(), FrameId(f.id), 0, &offset, &size));
        EXPECT_EQ(std::make_pair(f.offset, uint32_t(f.data.size())), std::make_pair(offset, size));
        EXPECT_EQ(TAV_OK, tav_id3_v2_get_frame_num(c.get(), FrameId(f.id), &n));
        EXPECT_EQ(1u, n);
    }
}
