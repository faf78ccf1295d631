// Frame reading at the engine: status flags and extra bytes, sizes that wrap
// at 32 bits, the frame enumeration, short buffers, and reads that never grow
// a writable file. (Counts, index order, offsets and syncsafe sizes in tags of
// every version, and the peer corpus, are read through the class.)
#include "engine/internal.h"
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
    // Extras longer than the frame wrap its 32-bit size round.
    ASSERT_EQ(TAV_OK, tav_id3_v2_get_frame_header(c.get(), FrameId("TALB"), 0, &h));
    EXPECT_EQ(0xFFFFFFFEu, h.size);
}

// Sizes and offsets are 32 bits wide: a 2.3 frame of size FFFFFFFF is 9 bytes
// long, and an extended header of size FFFFFFFF puts the first frame 3 bytes
// past the tag header.
TEST(Frames, SizesWrapAt32Bits) {
    Context c, ex;
    ASSERT_EQ(TAV_OK, c.OpenMemory(Tag(3, Concat({Ascii("COMM"), Be32(0xFFFFFFFF), {0}, Frame23("TPE1", Ascii("b"))}))));
    EXPECT_EQ(Ascii("b"), Data(c, "TPE1", 0));
    ASSERT_EQ(TAV_OK, ex.OpenMemory(Concat({Id3Header(3, 0, 0x40, 30), Be32(0xFFFFFFFF), Bytes(26, 0)})));
    tav_id3_v2_header h;
    uint32_t first = 0;
    ASSERT_EQ(TAV_OK, tav_id3_v2_get_header(ex.get(), &h));
    ASSERT_EQ(TAV_OK, tav_id3_v2_first_frame_position(ex.get(), &h, &first));
    EXPECT_EQ(13u, first);
}

// Every frame in tag order with its logical position and length; padding is
// not offered, a visitor's nonzero answer stops the walk, no tag is no tag.
TEST(Frames, EnumerationInTagOrder) {
    struct Seen {
        std::vector<std::pair<uint32_t, uint32_t>> frames; // position, length
        size_t stopAfter = 100;
    };
    auto visit = [](const tav_id3_v2_frame_header *, uint32_t position, uint32_t length, void *user) {
        Seen *seen = static_cast<Seen *>(user);
        seen->frames.emplace_back(position, length);
        return seen->frames.size() >= seen->stopAfter ? 1 : 0;
    };
    Context c, bare;
    ASSERT_EQ(TAV_OK, c.OpenMemory(Tag(3, Concat({Frame23("TPE1", Ascii("ab")), Frame23("TPE1", Ascii("c")),
                                                   Frame23("TIT2", Ascii("d")), Bytes(8, 0)}))));
    Seen all, first;
    first.stopAfter = 1;
    EXPECT_EQ(TAV_OK, tav_id3_v2_enum_frames(c.get(), visit, &all));
    EXPECT_EQ(TAV_OK, tav_id3_v2_enum_frames(c.get(), visit, &first));
    using Frames = std::vector<std::pair<uint32_t, uint32_t>>;
    EXPECT_EQ(all.frames, (Frames{{10, 12}, {22, 11}, {33, 11}}));
    EXPECT_EQ(first.frames, (Frames{{10, 12}}));
    ASSERT_EQ(TAV_OK, bare.OpenMemory(FakeAudio(1)));
    EXPECT_EQ(TAV_ERR_NOT_FOUND, tav_id3_v2_enum_frames(bare.get(), visit, &all));
}

// A truncated file opened for writing: the header read at a frame position
// past its end comes short, and the file does not grow.
TEST(Frames, ReadingNeverGrowsAFile) {
    TempDir dir;
    Bytes bytes = Concat({Id3Header(3, 0, 0, 200), Frame23("TIT2", Ascii("t")), Ascii("TPE1"), Be32(100), Bytes{0, 0}});
    WriteFile(dir.file("cut.mp3"), bytes);
    Context c;
    ASSERT_EQ(TAV_OK, c.OpenFile(dir.wfile("cut.mp3"), 2));
    uint32_t n = 9;
    EXPECT_EQ(TAV_ERR_READ, tav_id3_v2_get_frame_num(c.get(), FrameId("TIT2"), &n));
    EXPECT_EQ(0u, n);
    EXPECT_EQ(Ascii("t"), Data(c, "TIT2", 0));
    ASSERT_EQ(TAV_OK, c.Destroy());
    EXPECT_EQ(bytes, ReadFile(dir.file("cut.mp3")));
}

} // namespace
