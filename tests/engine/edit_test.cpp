// The edit transaction: the loaded frame list, appended frame headers in each
// version, removal with the read-only rule, and the new header flags.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "support/edit_support.h"

using namespace testsupport;

namespace {

Bytes Tag(uint8_t major, const Bytes &body, uint8_t flags = 0) {
    return Concat({Id3Header(major, 0, flags, static_cast<uint32_t>(body.size())), body});
}

// The loaded list as (old offset, total size) pairs.
std::vector<std::pair<uint32_t, uint32_t>> LoadedOf(tav_id3_context *c) {
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (auto *e : Entries(c)) out.push_back({e->old_offset, e->total_size});
    return out;
}

TEST(EditBegin, LoadsFrameHeadersUpToPadding) {
    const Bytes tail = Concat({Bytes(4, 0), Frame23("TALB", Ascii("ccc"))}); // padding, then junk
    const Bytes t = Frame23("TIT2", Ascii("a"));
    struct Case {
        const char *name;
        Bytes content;
        std::vector<std::pair<uint32_t, uint32_t>> loaded;
        uint32_t frames_end;
    } cases[] = {
        {"v2.3", Tag(3, Concat({Frame23("TIT2", Bytes(5, 'a')), Frame23("TPE1", Bytes(7, 'b')), tail})),
         {{10, 15}, {25, 17}}, 42},
        {"v2.2", Tag(2, Concat({Frame22("TT2", Bytes(4, 'x')), Frame22("TP1", Bytes(2, 'y'))})), {{10, 10}, {20, 8}}, 28},
        {"extended header", Tag(3, Concat({Bytes{0, 0, 0, 6, 0, 0, 0, 0, 0, 0}, t}), 0x40), {{20, 11}}, 31},
        // Damaged sizes end the list; nothing seeks past the end of the file.
        {"size wraps", Tag(3, Concat({t, Ascii("TPE1"), Be32(0xFFFFFFF8), Bytes(32, 0)})), {{10, 11}}, 21},
        {"frame past the end", Tag(3, Concat({t, Ascii("COMM"), Be32(5000), Bytes(22, 1)})), {{10, 11}}, 21},
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

// An appended frame gets a header in the tag's version, its extra bytes in
// flag order between header and payload, and lands after the loaded frames.
TEST(EditAddFrame, HeaderInTheTagsVersion) {
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
        Bytes header; // header and extra bytes as written
    } cases[] = {
        {{}, "TIT2", 20, {}, Concat({Ascii("TIT2"), Be32(20), Bytes{0, 0}})},
        {{}, "GEOB", 3, all, Concat({Ascii("GEOB"), Be32(9), Bytes{0xE0, 0xE0, 1, 2, 3, 4, 7, 9}})},
        {v24, "TPE1", 255, {}, Concat({Ascii("TPE1"), Bytes{0, 0, 1, 0x7F, 0, 0}})},
        {v22, "TP1", 4, all, Concat({Ascii("TP1"), Bytes{0, 0, 4}})},
        {v22, "TAL", 0, {}, Concat({Ascii("TAL"), Bytes{0, 0, 0}})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        EditSession s;
        ASSERT_EQ(TAV_OK, s.OpenFile(c.tag));
        EXPECT_EQ(TAV_ERR_STATE, AddFrame(s.get(), c.id, Bytes(c.size, 'p')));
        ASSERT_EQ(TAV_OK, tav_id3_v2_edit_begin(s.get()));
        ASSERT_EQ(TAV_OK, AddFrame(s.get(), c.id, Bytes(c.size, 'p'), c.record));
        ASSERT_EQ(TAV_OK, tav_id3_v2_edit_end(s.get()));
        const Bytes out = s.Content();
        const size_t at = std::max<size_t>(10, c.tag.size()), end = at + c.header.size() + c.size;
        ASSERT_GE(out.size(), end);
        EXPECT_EQ(Concat({c.header, Bytes(c.size, 'p')}), Bytes(out.begin() + at, out.begin() + end));
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
    tav_id3_v2_frame_header readOnly{};
    readOnly.read_only = 1; // an appended frame is the caller's own
    ASSERT_EQ(TAV_OK, AddFrame(s.get(), "TPE1", Ascii("x"), readOnly));
    EXPECT_EQ(TAV_OK, tav_id3_v2_remove_frame(s.get(), FrameId("TPE1"), 0));
}

// Removal under the read-only bit of each version, and the new header flags
// byte: built from flags in the tag's own version, or taken from the old
// header without the extended-header bit.
TEST(EditOperations, ReadOnlyFramesAndHeaderFlags) {
    using Action = std::function<int32_t(tav_id3_context *)>;
    auto set = [](tav_id3_v2_header_flags f) -> Action {
        return [f](tav_id3_context *c) { return tav_id3_v2_set_header_flag_info(c, &f); };
    };
    auto remove = [](const char *id) -> Action {
        return [id](tav_id3_context *c) { return tav_id3_v2_remove_frame(c, FrameId(id), 0); };
    };
    const Action all = set({1, 1, 1, 1, 1}), footer = set({0, 0, 0, 0, 1}), dropEx = tav_id3_v2_remove_extended_header;
    const Bytes v22 = Tag(2, Frame22("TT2", Ascii("a"))), v23 = Tag(3, Frame23("TIT2", Ascii("a"))),
                v24 = Tag(4, Frame24("TIT2", Ascii("a"))),
                withEx = Tag(3, Concat({Bytes{0, 0, 0, 6, 0, 0, 0, 0, 0, 0}, Frame23("TIT2", Ascii("a"))}), 0x60);
    struct Case {
        const char *name;
        Bytes content;
        Action action;
        int32_t result;
        int flags; // the new header flags byte; -1: left unset
    } cases[] = {
        {"v2.3 read-only bit", Tag(3, Frame23("TIT2", Ascii("a"), 0x20)), remove("TIT2"), TAV_ERR_PARAM, -1},
        {"v2.3 ignores 0x10", Tag(3, Frame23("TIT2", Ascii("a"), 0x10)), remove("TIT2"), TAV_OK, -1},
        {"v2.4 read-only bit", Tag(4, Frame24("TIT2", Ascii("a"), 0x10)), remove("TIT2"), TAV_ERR_PARAM, -1},
        {"v2.4 ignores 0x20", Tag(4, Frame24("TIT2", Ascii("a"), 0x20)), remove("TIT2"), TAV_OK, -1},
        {"v2.2 frames are never read-only", v22, remove("TT2"), TAV_OK, -1},
        {"v2.2, all flags", v22, all, TAV_OK, 0xC0},
        {"v2.3, all flags", v23, all, TAV_OK, 0xE0},
        {"v2.4, all flags", v24, all, TAV_OK, 0xF0},
        {"v2.3, footer", v23, footer, TAV_OK, 0x00},
        {"extended header dropped", withEx, dropEx, TAV_OK, 0x20},
        {"extended header of no tag", FakeAudio(1), dropEx, TAV_ERR_NOT_FOUND, -1},
        {"extended header of v2.2", v22, dropEx, TAV_ERR_EX_HEADER, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EditSession s;
        ASSERT_EQ(TAV_OK, s.OpenFile(c.content));
        ASSERT_EQ(TAV_OK, tav_id3_v2_edit_begin(s.get()));
        EXPECT_EQ(c.result, c.action(s.get()));
        EXPECT_EQ(nullptr, s->edit->ex_header);
        EXPECT_EQ(c.flags >= 0, s->edit->new_header_flags_ref != nullptr);
        EXPECT_EQ(std::max(c.flags, 0), s->edit->new_header_flags);
    }
}

} // namespace
