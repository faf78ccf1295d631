// Frame enumeration and reading: counts, index order, the three header
// layouts, extra bytes, the walk's stop conditions, data reads and offsets,
// on hand-made tags and on the peer corpus.
#include <gtest/gtest.h>

#include "engine/internal.h"
#include "support/context_support.h"

using namespace testsupport;
using namespace std::string_literals;

namespace {

uint32_t Id(const char *s) { return (uint32_t)s[0] << 24 | (uint32_t)s[1] << 16 | (uint32_t)s[2] << 8 | (uint8_t)s[3]; }

Bytes Tag(uint8_t major, const Bytes &frames, uint32_t padding = 0, uint8_t flags = 0, size_t prefix = 0) {
    return Concat({Bytes(prefix, 0), Id3Header(major, 0, flags, (uint32_t)(frames.size() + padding)), frames,
                   Bytes(padding, 0), FakeAudio(1)});
}

uint32_t Count(Context &c, const char *id) {
    uint32_t n = 99;
    EXPECT_EQ(TAV_OK, tav_id3_v2_get_frame_num(c.get(), Id(id), &n));
    return n;
}

Bytes Data(Context &c, const char *id, uint32_t index, uint32_t capacity = 4096) {
    Bytes out(capacity);
    EXPECT_EQ(TAV_OK, tav_id3_v2_get_frame_data(c.get(), Id(id), index, &capacity, out.data()));
    out.resize(capacity);
    return out;
}

std::pair<uint32_t, uint32_t> Offset(Context &c, const char *id, uint32_t index) {
    uint32_t offset = 77, size = 77;
    EXPECT_EQ(TAV_OK, tav_id3_v2_get_frame_data_offset(c.get(), Id(id), index, &offset, &size));
    return {offset, size};
}

int CountOffered(const tav_id3_v2_frame_header *, uint32_t, uint32_t, void *user) {
    ++*static_cast<size_t *>(user);
    return 0;
}

// How many frames the walker offers (padding and cut-off headers count).
int32_t Walk(Context &c, size_t *offered) {
    tav_id3_v2_header header;
    int32_t rc = tav_id3_v2_get_header(c.get(), &header);
    return rc != TAV_OK ? rc : tav_id3_v2_walk_frames(c.get(), &header, 0, CountOffered, offered);
}

} // namespace

// A tag behind 100 bytes of junk: offsets are content offsets.
TEST(Frames, CountsIndexOrderAndOffsets) {
    Context c;
    Bytes frames = Concat({Frame23("COMM", Ascii("first")), Frame23("TIT2", Ascii("\0abcd"s)),
                           Frame23("TPE1", Ascii("\0artist"s)), Frame23("COMM", Ascii("second"))});
    ASSERT_EQ(TAV_OK, c.OpenMemory(Tag(3, frames, 100, 0, 100)));
    EXPECT_EQ(1u, Count(c, "TIT2"));
    EXPECT_EQ(0u, Count(c, "TALB"));
    EXPECT_EQ(2u, Count(c, "COMM"));
    EXPECT_EQ(std::make_pair(100u + 10 + 15 + 15 + 10, 7u), Offset(c, "TPE1", 0));
    EXPECT_EQ(Ascii("first"), Data(c, "COMM", 0));
    EXPECT_EQ(Ascii("sec"), Data(c, "COMM", 1, 3)); // a short buffer gets the first bytes
    tav_id3_v2_frame_header h;
    EXPECT_EQ(TAV_ERR_NOT_FOUND, tav_id3_v2_get_frame_header(c.get(), Id("COMM"), 2, &h));
    EXPECT_EQ(std::make_pair(0u, 0u), Offset(c, "COMM", 2));
    ASSERT_EQ(TAV_OK, tav_id3_v2_get_frame_header(c.get(), Id("TPE1"), 0, &h));
    uint8_t b = 0xAA; // the content is left at the frame's data
    EXPECT_EQ(1, tav_id3_read_content(c.get(), &b, 1));
    EXPECT_EQ(0, b);
    Context none;
    ASSERT_EQ(TAV_OK, none.OpenMemory(FakeAudio(3)));
    EXPECT_EQ(0u, Count(none, "TIT2"));
    EXPECT_EQ(TAV_ERR_NOT_FOUND, tav_id3_v2_get_frame_header(none.get(), Id("TIT2"), 0, &h));
}

TEST(Frames, V22AndV24Layouts) {
    Context v22;
    ASSERT_EQ(TAV_OK, v22.OpenMemory(Tag(2, Concat({Frame22("TT2", Ascii("\0song"s)), Frame22("TP1", Ascii("b"))}))));
    EXPECT_EQ(1u, Count(v22, "TP1\0"));
    EXPECT_EQ(0u, Count(v22, "TIT2"));
    EXPECT_EQ(std::make_pair(10u + 11 + 6, 1u), Offset(v22, "TP1\0", 0));

    Context v24; // size bytes 00 00 01 7F are 255 when syncsafe
    Bytes big = Concat({Ascii("TIT2"), Bytes{0x00, 0x00, 0x01, 0x7F, 0, 0}, Bytes(255, 'x')});
    ASSERT_EQ(TAV_OK, v24.OpenMemory(Tag(4, Concat({big, Frame24("TPE1", Ascii("b"))}))));
    EXPECT_EQ(255u, Data(v24, "TIT2", 0).size());
    EXPECT_EQ(Ascii("b"), Data(v24, "TPE1", 0));
}

TEST(Frames, FlagsAndExtraBytes) {
    Bytes payload = Ascii("0123456789abcdefghij");
    Context c; // flags: all three status flags; compression + encryption + grouping
    ASSERT_EQ(TAV_OK, c.OpenMemory(Tag(3, Concat({Frame23("TIT2", payload, 0xE0, 0xE0), Frame23("TPE1", Ascii("z")),
                                                   Frame23("TALB", Ascii("ab"), 0, 0x80), Bytes{1, 2}}))));
    tav_id3_v2_frame_header h;
    ASSERT_EQ(TAV_OK, tav_id3_v2_get_frame_header(c.get(), Id("TIT2"), 0, &h));
    EXPECT_EQ(6, h.tag_alter_preservation + h.file_alter_preservation + h.read_only + h.compression + h.encryption +
                     h.grouping_identity);
    // Extras in flag order (length, method, group) come off the size, not the frame length.
    EXPECT_EQ(0x30313233u, h.data_length);
    EXPECT_EQ('4' * 256 + '5', h.encryption_method * 256 + h.group_id);
    EXPECT_EQ(Ascii("6789abcdefghij"), Data(c, "TIT2", 0));
    EXPECT_EQ(std::make_pair(20u, 14u), Offset(c, "TIT2", 0)); // the offset designates the extras
    EXPECT_EQ(Ascii("z"), Data(c, "TPE1", 0));
    // Extras longer than the frame leave no data rather than a wrapped size.
    ASSERT_EQ(TAV_OK, tav_id3_v2_get_frame_header(c.get(), Id("TALB"), 0, &h));
    EXPECT_EQ(0u, h.size);
}

// Where the walk stops, on hand-made tags and on other libraries' test data
// (broken tags among them): the result and the number of frames offered,
// the padding or cut-off header that ended the walk included.
TEST(Frames, WalkStopConditions) {
    Bytes t = Frame23("TIT2", Ascii("\0t"s));
    struct Case {
        const char *name;
        Bytes tag;
        int32_t rc;
        size_t offered;
    } cases[] = {
        {"header cut 4 bytes short", Concat({Id3Header(3, 0, 0, 30), t, t, Ascii("TPE1\0\0\0\x01"s)}), TAV_OK, 3},
        {"padding", Tag(3, Concat({t, t}), 40), TAV_OK, 3},
        {"size past the tag", Tag(3, Concat({t, Ascii("TPE1"), Be32(0xFFFFFFF0), Bytes{0, 0}, t})), TAV_OK, 2},
        {"syncsafe size past it", Tag(4, Concat({Ascii("TPE1"), Bytes{0x7F, 0x7F, 0x7F, 0x7F, 0, 0}, t})), TAV_OK, 1},
        {"unknown version", Concat({Id3Header(5, 0, 0, 1000), t}), TAV_OK, 1},
        {"taglib/toc_many_children.mp3", {}, TAV_OK, 131},
        {"taglib/excessive_alloc.mp3", {}, TAV_OK, 12},
        {"taglib/compressed_id3_frame.mp3", {}, TAV_ERR_READ, 5},
        {"taglib/broken-tenc.id3", {}, TAV_OK, 12},
        {"taglib/005411.id3", {}, TAV_OK, 4}, // plain sizes in a 2.4 tag: the walk ends inside the picture
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        if (k.tag.empty() && !CorpusAvailable()) continue;
        Context c;
        ASSERT_EQ(TAV_OK, k.tag.empty() ? c.OpenFile(Widen(CorpusPath(k.name)), 0) : c.OpenMemory(k.tag));
        size_t offered = 0;
        EXPECT_EQ(k.rc, Walk(c, &offered));
        EXPECT_EQ(k.offered, offered);
    }
}

// A truncated file opened for writing: a frame position past its end fails
// the walk instead of growing the file.
TEST(Frames, ReadingNeverGrowsAFile) {
    TempDir dir;
    Bytes bytes = Concat({Id3Header(3, 0, 0, 200), Frame23("TIT2", Ascii("t")), Ascii("TPE1"), Be32(100), Bytes{0, 0}});
    WriteFile(dir.file("cut.mp3"), bytes);
    Context c;
    ASSERT_EQ(TAV_OK, c.OpenFile(dir.wfile("cut.mp3"), 2));
    uint32_t n = 9;
    EXPECT_EQ(TAV_ERR_SEEK, tav_id3_v2_get_frame_num(c.get(), Id("TIT2"), &n));
    EXPECT_EQ(0u, n);
    EXPECT_EQ(Ascii("t"), Data(c, "TIT2", 0));
    ASSERT_EQ(TAV_OK, c.Destroy());
    EXPECT_EQ(bytes, ReadFile(dir.file("cut.mp3")));
}
