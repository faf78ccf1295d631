// Unsynchronised tags: the de-unsynchronising read, positioning at logical
// offsets, and frame reading in tags whose bytes carry inserted zeros.
#include <gtest/gtest.h>

#include "engine/internal.h"
#include "support/context_support.h"

using namespace testsupport;

namespace {

// Inserts a zero after each 0xFF followed by 0x00 or a byte >= 0xE0.
Bytes Unsynchronise(const Bytes &in) {
    Bytes out;
    for (size_t i = 0; i < in.size(); ++i) {
        out.push_back(in[i]);
        if (in[i] == 0xFF && i + 1 < in.size() && (in[i + 1] == 0 || in[i + 1] >= 0xE0)) out.push_back(0);
    }
    return out;
}

int64_t Position(Context &c) { return tav_id3_seek_content(c.get(), 0, 1); }

} // namespace

TEST(Unsync, ReadDropsInsertedZeros) {
    struct Case {
        Bytes content;
        uint32_t n;
        Bytes out;
        int64_t consumed; // -1: the read fails
    } cases[] = {
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
        int32_t rc = tav_id3_v2_read_unsync(c.get(), out.data(), k.n, 1, &consumed);
        ASSERT_EQ(k.consumed < 0 ? -1 : 0, rc);
        if (rc != 0) continue;
        EXPECT_EQ(k.out, out);
        EXPECT_EQ(k.consumed, consumed);
        EXPECT_EQ(k.consumed, Position(c));
    }
}

// Every logical offset maps to one content offset, whether counted from the
// start or resumed from any earlier offset; 0xFF at a 4096-byte boundary too.
TEST(Unsync, SeekLogical) {
    Bytes content = Concat({Bytes(4095, 0x11), Bytes{0xFF, 0x00, 0x41, 0xFF, 0xE1, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00,
                                                     0x42, 0xFF}});
    const uint32_t logical_size = 4095 + 10;
    Context c;
    ASSERT_EQ(TAV_OK, c.OpenMemory(content));
    std::vector<int64_t> raw;
    for (uint32_t l = 4090; l <= logical_size; ++l) {
        ASSERT_EQ(0, tav_id3_v2_seek_logical(c.get(), l, 1)) << l;
        raw.push_back(Position(c));
    }
    EXPECT_EQ((std::vector<int64_t>{4090, 4091, 4092, 4093, 4094, 4095, 4097, 4098, 4099, 4100, 4102, 4103, 4104,
                                    4106, 4107, 4108}),
              raw);
    EXPECT_EQ(-1, tav_id3_v2_seek_logical(c.get(), logical_size + 1, 1));
    for (uint32_t from = 4090; from <= logical_size; ++from)
        for (uint32_t to = from; to <= logical_size; ++to) {
            ASSERT_EQ(0, tav_id3_v2_seek_logical_from(c.get(), from, (uint32_t)raw[from - 4090], to));
            EXPECT_EQ(raw[to - 4090], Position(c)) << from << " " << to;
        }
    EXPECT_EQ(0, tav_id3_v2_seek_logical(c.get(), (uint32_t)content.size(), 0)); // plain: up to the end only
    EXPECT_EQ(-1, tav_id3_v2_seek_logical(c.get(), (uint32_t)content.size() + 1, 0));
}

// Inserted zeros in frame data and in a frame header (size 00 00 00 FF):
// frames are found, data comes back decoded, offsets are true content
// offsets. The tag size counts the inserted zeros, more of them than a frame
// header's length here, yet the walk of this bare tag ends at its last frame.
TEST(Unsync, FramesOfAnUnsynchronisedTag) {
    Bytes title = {0x01, 0xFF, 0xFE, 0x41, 0x00, 0xFF, 0x00, 0x41};
    Bytes artist(255, 0x42);
    artist[254] = 0xFF;
    const Bytes album = Concat({Bytes(12, 0xFF), Bytes{0}});
    Bytes stored = Unsynchronise(Concat({Frame23("TIT2", title), Frame23("TPE1", artist), Frame23("TALB", album)}));
    // The walk compares de-unsynchronised positions with the stored tag end,
    // so after the last frame it still finds room for a header (the inserted
    // zeros) and reads one at the tag's end: padding there ends the walk, the
    // end of a bare tag fails the count.
    Context bare;
    ASSERT_EQ(TAV_OK, bare.OpenMemory(Concat({Id3Header(3, 0, 0x80, (uint32_t)stored.size()), stored})));
    uint32_t none = 7;
    EXPECT_EQ(TAV_ERR_READ, tav_id3_v2_get_frame_num(bare.get(), 0x54495432, &none));
    EXPECT_EQ(0u, none);
    stored.resize(stored.size() + 10);
    Context c;
    ASSERT_EQ(TAV_OK, c.OpenMemory(Concat({Id3Header(3, 0, 0x80, (uint32_t)stored.size()), stored})));
    const uint32_t ids[] = {0x54495432, 0x54504531, 0x54414C42};
    const Bytes data[] = {title, artist, album};
    const uint32_t offsets[] = {20, 20 + 10 + 11, 20 + 10 + 11 + 255 + 10};
    for (int i = 0; i < 3; ++i) {
        Bytes out(300);
        uint32_t size = (uint32_t)out.size(), offset = 0;
        ASSERT_EQ(TAV_OK, tav_id3_v2_get_frame_data(c.get(), ids[i], 0, &size, out.data()));
        EXPECT_EQ(data[i], Bytes(out.begin(), out.begin() + size));
        ASSERT_EQ(TAV_OK, tav_id3_v2_get_frame_data_offset(c.get(), ids[i], 0, &offset, &size));
        EXPECT_EQ(offsets[i], offset);
        EXPECT_EQ(data[i].size(), size);
        uint32_t n = 0;
        EXPECT_EQ(TAV_OK, tav_id3_v2_get_frame_num(c.get(), ids[i], &n));
        EXPECT_EQ(1u, n);
    }
}
