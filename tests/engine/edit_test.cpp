// The edit transaction: appended frame headers in each version, removal with
// the read-only rule, and dropping the extended header. (The loaded frame
// list shows in the rewritten tags.)
#include "support/edit_support.h"

using namespace testsupport;

namespace {

// An appended frame gets a header in the tag's version, its extra bytes in
// flag order between header and payload, and lands after the loaded frames.
TEST(EditAddFrame, HeaderInTheTagsVersion) {
    tav_id3_v2_frame_header all{};
    all.tag_alter_preservation = all.file_alter_preservation = all.read_only = 1;
    all.compression = all.encryption = all.grouping_identity = 1;
    all.data_length = 0x01020304, all.encryption_method = 7, all.group_id = 9;
    const Bytes v22 = Id3Tag(2, Frame22("TT2", Ascii("z"))), v24 = Id3Tag(4, Frame24("TIT2", Ascii("z")));
    // header: header and extra bytes as written
    struct Case { Bytes tag; std::string id; size_t size; tav_id3_v2_frame_header record; Bytes header; } cases[] = {
        {{}, "TIT2", 20, {}, Concat({Ascii("TIT2"), Be32(20), Bytes{0, 0}})},
        {{}, "GEOB", 3, all, Concat({Ascii("GEOB"), Be32(9), Bytes{0xE0, 0xE0, 1, 2, 3, 4, 7, 9}})},
        {v24, "TPE1", 255, {}, Concat({Ascii("TPE1"), Bytes{0, 0, 1, 0x7F, 0, 0}})},
        {v22, "TP1", 4, all, Concat({Ascii("TP1"), Bytes{0, 0, 4}})},
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

// Removal under the read-only bit of each version, and the extended header's
// removal, which takes the new header flags from the old header without the
// extended-header bit.
TEST(EditOperations, ReadOnlyFramesAndHeaderFlags) {
    using Action = std::function<int32_t(tav_id3_context *)>;
    auto remove = [](const char *id) -> Action {
        return [id](tav_id3_context *c) { return tav_id3_v2_remove_frame(c, FrameId(id), 0); };
    };
    const Action dropEx = tav_id3_v2_remove_extended_header;
    const Bytes v22 = Id3Tag(2, Frame22("TT2", Ascii("a"))),
                withEx = Id3Tag(3, Concat({Bytes{0, 0, 0, 6, 0, 0, 0, 0, 0, 0}, Frame23("TIT2", Ascii("a"))}), 0x60);
    // flags: the new header flags byte; -1: left unset
    struct Case { const char *name; Bytes content; Action action; int32_t result; int flags; } cases[] = {
        {"v2.3 read-only bit", Id3Tag(3, Frame23("TIT2", Ascii("a"), 0x20)), remove("TIT2"), TAV_ERR_PARAM, -1},
        {"v2.3 ignores 0x10", Id3Tag(3, Frame23("TIT2", Ascii("a"), 0x10)), remove("TIT2"), TAV_OK, -1},
        {"v2.4 read-only bit", Id3Tag(4, Frame24("TIT2", Ascii("a"), 0x10)), remove("TIT2"), TAV_ERR_PARAM, -1},
        {"v2.4 ignores 0x20", Id3Tag(4, Frame24("TIT2", Ascii("a"), 0x20)), remove("TIT2"), TAV_OK, -1},
        {"v2.2 frames are never read-only", v22, remove("TT2"), TAV_OK, -1},
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

// Frames are listed with the sizes their headers give, also past the end of
// the content; the rewrite's copy of such a frame comes short, and the
// content and the transaction stay as they were.
TEST(EditFrameList, SizesAsTheHeadersGiveThem) {
    const Bytes text = Latin1Text("composer", true);
    const auto tcom = [&](uint32_t size) { return Concat({Ascii("TCOM"), Be32(size), Bytes{0, 0}, text}); };
    const Bytes cutHeader = Concat({Id3Header(3, 0, 0, 40), Frame23("TIT2", text), Ascii("TAL")});
    const struct {
        const char *name;
        Bytes content;
        bool memory;
        int32_t begin;
        std::vector<uint32_t> totals;
        int32_t end;
    } cases[] = {
        {"frame past the content's end", Id3Tag(3, tcom(100)), false, TAV_OK, {110}, TAV_ERR_READ},
        {"the same in memory", Id3Tag(3, tcom(100)), true, TAV_OK, {110}, TAV_ERR_READ},
        {"frame of 2 GiB", Id3Tag(3, tcom(0x7FFFFFF0)), false, TAV_OK, {0x7FFFFFFA}, TAV_ERR_READ},
        {"size wrapping the 32-bit total", Id3Tag(3, tcom(0xFFFFFFFF)), false, TAV_OK, {9}, TAV_OK},
        {"frame header cut by the content's end", cutHeader, false, TAV_ERR_READ, {20}, 0},
        {"next header beyond the content", Concat({Id3Header(3, 0, 0, 200), tcom(100)}), false, TAV_ERR_READ, {110}, 0},
        {"the same in memory", Concat({Id3Header(3, 0, 0, 200), tcom(100)}), true, TAV_ERR_SEEK, {110}, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EditSession s;
        ASSERT_EQ(TAV_OK, c.memory ? s.OpenMemory(c.content) : s.OpenFile(c.content));
        EXPECT_EQ(c.begin, tav_id3_v2_edit_begin(s.get()));
        std::vector<uint32_t> totals;
        for (const tav_id3_v2_frame_entry *entry : Entries(s.get())) totals.push_back(entry->total_size);
        EXPECT_EQ(c.totals, totals);
        if (c.begin != TAV_OK) continue;
        ASSERT_EQ(TAV_OK, AddFrame(s.get(), "TPE1", text));
        EXPECT_EQ(c.end, tav_id3_v2_edit_end(s.get()));
        if (c.end == TAV_OK) continue;
        EXPECT_EQ(c.content, s.Content());
        EXPECT_EQ(TAV_TRANSACTION_V2_EDIT, s->transaction_state);
        EXPECT_TRUE(s.scratch.Leftovers().empty());
    }
}

} // namespace
