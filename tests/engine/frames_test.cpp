// Frame reading at the engine: status flags and extra bytes, short buffers,
// and reads that never grow a writable file. (Counts, index order, offsets
// and syncsafe sizes in tags of every version, and the peer corpus, are read
// through the class.)
#include "support/edit_support.h"

using namespace testsupport;

namespace {

Bytes Tag(uint8_t major, const Bytes &frames) { return Concat({Id3Tag(major, frames), FakeAudio(1)}); }

Bytes Data(Context &c, const char *id, uint32_t index, uint32_t capacity = 4096) {
    Bytes out(capacity);
    EXPECT_EQ(TAV_OK, tav_id3_v2_get_frame_data(c.get(), FrameId(id), index, &capacity, out.data()));
    out.resize(capacity);
    return out;
}

TEST(Frames, FlagsAndExtraBytes) {
    Bytes payload = Ascii("0123456789abcdefghij");
    Context c; // flags: all three status flags; compression + encryption + grouping
    ASSERT_EQ(TAV_OK, c.OpenMemory(Tag(3, Concat({Frame23("TIT2", payload, 0xE0, 0xE0), Frame23("TPE1", Ascii("z")),
                                                   Frame23("TALB", Ascii("ab"), 0, 0x80), Bytes{1, 2}}))));
    tav_id3_v2_frame_header h;
    ASSERT_EQ(TAV_OK, tav_id3_v2_get_frame_header(c.get(), FrameId("TIT2"), 0, &h));
    EXPECT_EQ(6, h.tag_alter_preservation + h.file_alter_preservation + h.read_only + h.compression + h.encryption +
                     h.grouping_identity);
    // Extras in flag order (length, method, group) come off the size, not the frame length.
    EXPECT_EQ(0x30313233u, h.data_length);
    EXPECT_EQ('4' * 256 + '5', h.encryption_method * 256 + h.group_id);
    EXPECT_EQ(Ascii("6789abcdefghij"), Data(c, "TIT2", 0));
    EXPECT_EQ(Ascii("678"), Data(c, "TIT2", 0, 3)); // a short buffer gets the first bytes
    uint32_t offset = 0, size = 0; // the offset designates the extras
    ASSERT_EQ(TAV_OK, tav_id3_v2_get_frame_data_offset(c.get(), FrameId("TIT2"), 0, &offset, &size));
    EXPECT_EQ(std::make_pair(20u, 14u), std::make_pair(offset, size));
    EXPECT_EQ(TAV_ERR_NOT_FOUND, tav_id3_v2_get_frame_header(c.get(), FrameId("TIT2"), 1, &h));
    EXPECT_EQ(Ascii("z"), Data(c, "TPE1", 0));
    // Extras longer than the frame leave no data rather than a wrapped size.
    ASSERT_EQ(TAV_OK, tav_id3_v2_get_frame_header(c.get(), FrameId("TALB"), 0, &h));
    EXPECT_EQ(0u, h.size);
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
    EXPECT_EQ(TAV_ERR_SEEK, tav_id3_v2_get_frame_num(c.get(), FrameId("TIT2"), &n));
    EXPECT_EQ(0u, n);
    EXPECT_EQ(Ascii("t"), Data(c, "TIT2", 0));
    ASSERT_EQ(TAV_OK, c.Destroy());
    EXPECT_EQ(bytes, ReadFile(dir.file("cut.mp3")));
}

} // namespace
