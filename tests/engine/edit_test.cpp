// The edit transaction before its end: the loaded frame list, appended frame
// headers, removal with the read-only rule, and the new header flags.
#include <gtest/gtest.h>

#include "support/edit_support.h"

using namespace testsupport;

namespace {

Bytes Tag(uint8_t major, const Bytes &body, uint8_t flags = 0) {
    return Concat({Id3Header(major, 0, flags, static_cast<uint32_t>(body.size())), body});
}

struct Loaded {
    uint32_t old_offset, total_size;
};
std::vector<Loaded> LoadedOf(tav_id3_context *c) {
    std::vector<Loaded> out;
    for (auto *e : Entries(c)) out.push_back({e->old_offset, e->total_size});
    return out;
}
bool operator==(const Loaded &a, const Loaded &b) { return a.old_offset == b.old_offset && a.total_size == b.total_size; }

TEST(EditBegin, LoadsFrameHeadersUpToPadding) {
    const Bytes tail = Concat({Bytes(4, 0), Frame23("TALB", Ascii("ccc"))}); // padding, then junk
    struct Case {
        const char *name;
        Bytes content;
        std::vector<Loaded> loaded;
        uint32_t frames_end;
    } cases[] = {
        {"no tag", FakeAudio(1), {}, 10},
        {"v2.3", Tag(3, Concat({Frame23("TIT2", Bytes(5, 'a')), Frame23("TPE1", Bytes(7, 'b')), tail})),
         {{10, 15}, {25, 17}}, 42},
        {"v2.2", Tag(2, Concat({Frame22("TT2", Bytes(4, 'x')), Frame22("TP1", Bytes(2, 'y'))})), {{10, 10}, {20, 8}}, 28},
        {"extended header", Tag(3, Concat({Bytes{0, 0, 0, 6, 0, 0, 0, 0, 0, 0}, Frame23("TIT2", Ascii("t"))}), 0x40),
         {{20, 11}}, 31},
        // Damaged sizes end the list; nothing seeks past the end of the file.
        {"size wraps", Tag(3, Concat({Frame23("TIT2", Ascii("a")), Ascii("TPE1"), Be32(0xFFFFFFF8), Bytes(32, 0)})),
         {{10, 11}}, 21},
        {"frame past the end", Tag(3, Concat({Frame23("TIT2", Ascii("a")), Ascii("COMM"), Be32(5000), Bytes(22, 1)})),
         {{10, 11}}, 21},
        {"tag past the end", Concat({Id3Header(4, 0, 0, 100000), Frame24("TIT2", Ascii("a")), Bytes(40, 'x')}),
         {{10, 11}}, 21},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EditSession s;
        ASSERT_EQ(TAV_OK, s.OpenFile(c.content));
        ASSERT_EQ(TAV_OK, tav_id3_v2_edit_begin(s.get()));
        EXPECT_EQ(c.loaded, LoadedOf(s.get()));
        EXPECT_EQ(c.frames_end, s->edit->frames_end);
        EXPECT_EQ(c.content, s.Content());
        EXPECT_EQ(TAV_ERR_STATE, tav_id3_v2_edit_begin(s.get()));
    }
}

TEST(EditBegin, UnrecognisedVersionIsRefused) {
    EditSession s;
    ASSERT_EQ(TAV_OK, s.OpenFile(Concat({Id3Header(5, 0, 0, 5000), FakeAudio(1)})));
    EXPECT_EQ(TAV_ERR_NOT_FOUND, tav_id3_v2_edit_begin(s.get()));
    EXPECT_EQ(TAV_TRANSACTION_NONE, s->transaction_state);
}

TEST(EditAddFrame, BuildsHeaderInTheTagsVersion) {
    tav_id3_v2_frame_header all{};
    all.tag_alter_preservation = all.file_alter_preservation = all.read_only = 1;
    all.compression = all.encryption = all.grouping_identity = 1;
    all.data_length = 0x01020304;
    all.encryption_method = 7;
    all.group_id = 9;
    const Bytes v22 = Tag(2, Frame22("TT2", Ascii("z"))), v24 = Tag(4, Frame24("TIT2", Ascii("z")));
    struct Case {
        Bytes tag;
        std::string id;
        size_t size;
        tav_id3_v2_frame_header record;
        Bytes header, extra;
        uint32_t total;
    } cases[] = {
        {{}, "TIT2", 20, {}, Concat({Ascii("TIT2"), Be32(20), Bytes{0, 0}}), {}, 30},
        {{}, "GEOB", 3, all, Concat({Ascii("GEOB"), Be32(9), Bytes{0xE0, 0xE0}}), {1, 2, 3, 4, 7, 9}, 19},
        {v24, "TPE1", 255, {}, Concat({Ascii("TPE1"), Bytes{0, 0, 1, 0x7F, 0, 0}}), {}, 265},
        {v22, "TP1", 4, all, Concat({Ascii("TP1"), Bytes{0, 0, 4}}), {}, 10},
        {{}, "TXXX", 0, {}, Concat({Ascii("TXXX"), Be32(0), Bytes{0, 0}}), {}, 10},
        {v22, "TAL", 0, {}, Concat({Ascii("TAL"), Bytes{0, 0, 0}}), {}, 6},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        EditSession s;
        ASSERT_EQ(TAV_OK, s.OpenFile(c.tag));
        EXPECT_EQ(TAV_ERR_STATE, AddFrame(s.get(), c.id, Bytes(c.size, 'p')));
        ASSERT_EQ(TAV_OK, tav_id3_v2_edit_begin(s.get()));
        ASSERT_EQ(TAV_OK, AddFrame(s.get(), c.id, Bytes(c.size, 'p'), c.record));
        const tav_id3_v2_frame_entry *e = Entries(s.get()).back();
        EXPECT_EQ(c.header, Bytes(e->raw_header, e->raw_header + c.header.size()));
        EXPECT_EQ(c.extra, Bytes(e->extra, e->extra + e->extra_count));
        EXPECT_EQ(c.total, e->total_size);
        EXPECT_EQ(0u, e->old_offset);
        ASSERT_NE(nullptr, e->payload); // an empty payload too: it marks the entry as appended
        EXPECT_EQ(Bytes(c.size, 'p'), Bytes(e->payload, e->payload + e->payload_size));
        EXPECT_EQ(TAV_ERR_PARAM, tav_id3_v2_add_frame(s.get(), &c.record, nullptr));
    }
}

TEST(EditRemoveFrame, SameIdFramesGoInTagOrder) {
    EditSession s;
    ASSERT_EQ(TAV_OK, s.OpenFile(Tag(3, Concat({Frame23("COMM", Ascii("a")), Frame23("TIT2", Ascii("t")),
                                                Frame23("COMM", Ascii("bb")), Frame23("COMM", Ascii("ccc"))}))));
    const uint32_t comm = FrameId("COMM");
    EXPECT_EQ(-1, tav_id3_v2_find_frame_index(s.get(), comm, 0)); // no transaction, no list
    ASSERT_EQ(TAV_OK, tav_id3_v2_edit_begin(s.get()));
    EXPECT_EQ(2, tav_id3_v2_find_frame_index(s.get(), comm, 1));
    EXPECT_EQ(TAV_ERR_NOT_FOUND, tav_id3_v2_remove_frame(s.get(), comm, 3)); // index == count
    ASSERT_EQ(TAV_OK, tav_id3_v2_remove_frame(s.get(), comm, 1));
    EXPECT_EQ(2, tav_id3_v2_find_frame_index(s.get(), comm, 1)); // "ccc" moved down
    EXPECT_EQ(3u, Entries(s.get())[2]->payload_size);
    ASSERT_EQ(TAV_OK, tav_id3_v2_remove_frame(s.get(), comm, 0));
    ASSERT_EQ(TAV_OK, tav_id3_v2_remove_frame(s.get(), comm, 0));
    ASSERT_EQ(TAV_OK, tav_id3_v2_remove_frame(s.get(), FrameId("TIT2"), 0));
    EXPECT_EQ(nullptr, s->edit->frames);
}

TEST(EditRemoveFrame, ReadOnlyBitDependsOnVersion) {
    struct Case {
        Bytes tag;
        std::string id;
        int32_t expected;
    } cases[] = {
        {Tag(3, Frame23("TIT2", Ascii("a"), 0x20)), "TIT2", TAV_ERR_PARAM},
        {Tag(3, Frame23("TIT2", Ascii("a"), 0x10)), "TIT2", TAV_OK},
        {Tag(4, Frame24("TIT2", Ascii("a"), 0x10)), "TIT2", TAV_ERR_PARAM},
        {Tag(4, Frame24("TIT2", Ascii("a"), 0x20)), "TIT2", TAV_OK},
        {Tag(2, Concat({Frame22("TT2", Ascii("a")), Frame22("TT2", Ascii("b"))})), "TT2", TAV_OK},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "v2." << int(c.tag[3]) << " " << int(c.tag[18]));
        EditSession s;
        ASSERT_EQ(TAV_OK, s.OpenFile(c.tag));
        ASSERT_EQ(TAV_OK, tav_id3_v2_edit_begin(s.get()));
        EXPECT_EQ(c.expected, tav_id3_v2_remove_frame(s.get(), FrameId(c.id), 0));
        tav_id3_v2_frame_header readOnly{};
        readOnly.read_only = 1; // an appended frame is the caller's own
        ASSERT_EQ(TAV_OK, AddFrame(s.get(), "TPE1", Ascii("x"), readOnly));
        EXPECT_EQ(TAV_OK, tav_id3_v2_remove_frame(s.get(), FrameId("TPE1"), 0));
    }
}

TEST(EditHeaderFlags, EachVersionKeepsItsOwnFlags) {
    const tav_id3_v2_header_flags all = {1, 1, 1, 1, 1}, footer = {0, 0, 0, 0, 1};
    struct Case {
        Bytes tag;
        tav_id3_v2_header_flags flags;
        uint8_t expected;
    } cases[] = {
        {Tag(2, Frame22("TT2", Ascii("a"))), all, 0xC0},    {Tag(3, Frame23("TIT2", Ascii("a"))), all, 0xE0},
        {Tag(4, Frame24("TIT2", Ascii("a"))), all, 0xF0},   {Tag(3, Frame23("TIT2", Ascii("a"))), footer, 0x00},
        {Tag(4, Frame24("TIT2", Ascii("a"))), footer, 0x10},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "v2." << int(c.tag[3]));
        EditSession s;
        ASSERT_EQ(TAV_OK, s.OpenFile(c.tag));
        EXPECT_EQ(TAV_ERR_STATE, tav_id3_v2_set_header_flag_info(s.get(), &c.flags));
        ASSERT_EQ(TAV_OK, tav_id3_v2_edit_begin(s.get()));
        ASSERT_EQ(TAV_OK, tav_id3_v2_set_header_flag_info(s.get(), &c.flags));
        EXPECT_EQ(&s->edit->new_header_flags, s->edit->new_header_flags_ref);
        EXPECT_EQ(c.expected, s->edit->new_header_flags);
    }
}

TEST(EditRemoveExtendedHeader, KeepsTheOtherOldFlagsOrReportsNoTag) {
    struct Case {
        Bytes content;
        int32_t expected;
        bool flagsSet;
    } cases[] = {
        {Tag(3, Concat({Bytes{0, 0, 0, 6, 0, 0, 0, 0, 0, 0}, Frame23("TIT2", Ascii("a"))}), 0x60), TAV_OK, true},
        {FakeAudio(1), TAV_ERR_NOT_FOUND, false},
        {Tag(2, Frame22("TT2", Ascii("a"))), TAV_ERR_EX_HEADER, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expected);
        EditSession s;
        ASSERT_EQ(TAV_OK, s.OpenFile(c.content));
        ASSERT_EQ(TAV_OK, tav_id3_v2_edit_begin(s.get()));
        EXPECT_EQ(c.expected, tav_id3_v2_remove_extended_header(s.get()));
        EXPECT_EQ(nullptr, s->edit->ex_header);
        EXPECT_EQ(c.flagsSet, s->edit->new_header_flags_ref != nullptr);
        EXPECT_EQ(c.flagsSet ? 0x20 : 0, s->edit->new_header_flags);
    }
}

} // namespace
