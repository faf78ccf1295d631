// The rewrite at the end of an edit: the new tag's length and padding,
// footers, bytes before and after the tag, AIFF chunks, extended headers,
// memory contents, and the frames of the peer corpus.
#include "support/edit_support.h"
#include "support/frame_extract.h"

using namespace testsupport;

namespace {

using Change = std::function<int32_t(tav_id3_context *)>;

Bytes Slice(const Bytes &bytes, size_t from, size_t length = std::string::npos) {
    if (from > bytes.size()) return {};
    return Bytes(bytes.begin() + from, bytes.begin() + from + std::min(length, bytes.size() - from));
}

// Opens content (a file, or a memory image), begins, applies change and ends
// the edit, which must close the transaction and leave no temporary file.
Bytes Rewrite(EditSession &s, const Bytes &content, const Change &change, int32_t aiff = 0, bool memory = false) {
    EXPECT_EQ(TAV_OK, memory ? s.OpenMemory(content) : s.OpenFile(content, 2, aiff));
    EXPECT_EQ(TAV_OK, tav_id3_v2_edit_begin(s.get()));
    EXPECT_EQ(TAV_OK, change(s.get()));
    EXPECT_EQ(TAV_OK, tav_id3_v2_edit_end(s.get()));
    EXPECT_EQ(TAV_TRANSACTION_NONE, s->transaction_state);
    EXPECT_TRUE(s.scratch.Leftovers().empty());
    return s.Content();
}

Change Add(const char *id, const Bytes &data) { return [=](tav_id3_context *c) { return AddFrame(c, id, data); }; }

// The new tag keeps the old length when its frames fit with room to spare,
// else grows to a multiple of 16 plus 1 KiB; the rest of the content follows
// it unchanged. A memory image gets the same bytes as a file.
TEST(RewriteLayout, PaddingPolicy) {
    const Bytes audio = FakeAudio(3), tit2 = Frame23("TIT2", Bytes(100, 't')), tpe1 = Frame23("TPE1", Bytes(200, 'p'));
    const auto tag = [](std::initializer_list<Bytes> body) { return Id3Tag(3, Concat(body)); };
    auto removeAll = [](tav_id3_context *c) {
        int32_t rc = tav_id3_v2_remove_frame(c, FrameId("TIT2"), 0);
        return rc ? rc : tav_id3_v2_remove_frame(c, FrameId("TPE1"), 0);
    };
    // used: header + frames; length: header + frames + padding
    struct Case { const char *name; Bytes tag; Change change; size_t used, length; } cases[] = {
        {"no tag: a new one in front", {}, Add("TIT2", Bytes(20, 'n')), 40, 1056},
        {"shrinking keeps the old length", tag({tit2, tpe1, Bytes(4086 - 320, 0)}),
         [](tav_id3_context *c) { return tav_id3_v2_remove_frame(c, FrameId("TPE1"), 0); }, 120, 4096},
        {"growing within the old length", tag({tit2, Bytes(500, 0)}), Add("TPE1", Bytes(90, 'n')), 220, 620},
        {"filling the old length exactly grows", tag({tit2, Bytes(20, 0)}), Add("TPE1", Bytes(10, 'n')), 140, 1152},
        {"past the old length", tag({tit2, Bytes(10, 0)}), Add("APIC", Bytes(5000, 'n')), 5130, 5120 + 1024},
        {"every frame removed", tag({tit2, tpe1, Bytes(30, 0)}), removeAll, 10, 360},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EditSession s;
        const Bytes out = Rewrite(s, Concat({c.tag, audio}), c.change);
        const ParsedTag parsed = ParseTag(out);
        EXPECT_EQ(c.length, parsed.length());
        EXPECT_EQ(c.used, parsed.framesEnd);
        EXPECT_EQ(Bytes(c.length - c.used, 0), Slice(out, c.used, c.length - c.used));
        EXPECT_EQ(audio, Slice(out, c.length));
        EditSession m; // its scratch directory is $TMPDIR from here on
        EXPECT_EQ(out, Rewrite(m, Concat({c.tag, audio}), c.change, 0, true));
        EXPECT_EQ(out.size(), m->memory->position);
    }
}

TEST(RewriteFooter, TagFoundAtTheEndStaysBehindTheAudio) {
    // A 2.4 tag appended after the audio, found through its footer, with an
    // ID3v1 tag behind it. No padding: the footer follows the last frame.
    const Bytes audio = FakeAudio(3), frames = Frame24("TIT2", Ascii("t")), v1 = TagV1("title");
    const uint32_t n = static_cast<uint32_t>(frames.size()), m = n + 15;
    auto footer = [](uint32_t size) { return Concat({Ascii("3DI"), Bytes{4, 0, 0x10}, Syncsafe(size)}); };
    EditSession s;
    const Bytes out = Rewrite(s, Concat({audio, Id3Header(4, 0, 0x10, n), frames, footer(n), v1}),
                              [](tav_id3_context *c) {
                                  const tav_id3_v2_header_flags flags = {0, 0, 0, 0, 1};
                                  int32_t rc = tav_id3_v2_set_header_flag_info(c, &flags);
                                  return rc ? rc : AddFrame(c, "TALB", Ascii("album"));
                              });
    EXPECT_EQ(Concat({audio, Id3Header(4, 0, 0x10, m), frames, Frame24("TALB", Ascii("album")), footer(m), v1}), out);
}

// A held extended header is written (its padding field updated) only when
// the flags byte announces it.
TEST(RewriteExtendedHeader, CopyAndFlagMustAgree) {
    const Bytes ex = {0, 0, 0, 6, 0, 0, 0, 0, 0, 0}, frame = Frame23("TIT2", Ascii("abc"));
    const tav_id3_v2_header_flags withEx = {0, 0, 1, 0, 0};
    EditSession s;
    ASSERT_EQ(TAV_OK, s.OpenFile(Concat({Id3Tag(3, Concat({ex, frame, Bytes(100, 0)}), 0x40), FakeAudio(1)})));
    ASSERT_EQ(TAV_OK, tav_id3_v2_edit_begin(s.get()));
    EXPECT_EQ(TAV_ERR_STATE, tav_id3_v2_edit_end(s.get())); // a copy, but no flag
    ASSERT_EQ(TAV_OK, tav_id3_v2_set_header_flag_info(s.get(), &withEx));
    ASSERT_EQ(TAV_OK, tav_id3_v2_edit_end(s.get()));
    // old length 133, used 10 + 10 + 13: the copy's padding field says 100.
    const Bytes out = s.Content();
    EXPECT_EQ(Concat({Id3Header(3, 0, 0x40, 123), Bytes{0, 0, 0, 6, 0, 0, 0, 0, 0, 100}, frame, Bytes(100, 0)}),
              Slice(out, 0, 133));
}

TEST(RewriteAiff, ChunkSizesAndPadBytes) {
    const Bytes comm = AiffComm();
    const Bytes sound(301, 0x33), tit2 = Frame23("TIT2", Bytes(5, 't'));
    const Bytes ssnd = Concat({Ascii("SSND"), Be32(40), Bytes(40, 0x22)});
    // A 25-byte chunk and its pad byte.
    const Bytes withOddTag =
        Form("AIFF", {{"COMM", comm}, {"ID3 ", Id3Tag(3, tit2)}, {"SSND", Concat({Bytes(8, 0), sound})}});
    const size_t commEnd = 12 + 8 + comm.size();
    const Bytes emptyChunk = Form("AIFF", {{"COMM", comm}, {"ID3 ", {}}, {"SSND", Bytes(40, 0x22)}});
    const Bytes bare = Form("AIFF", {{"COMM", comm}, {"SSND", Bytes(39, 0x22), false}}); // odd length, no pad
    // tail: everything after the FORM size
    struct Case { const char *name; Bytes form; const char *id; Bytes payload; Bytes tail; } cases[] = {
        {"odd chunk in an even file", withOddTag, "TPE1", Bytes(4, 'a'),
         Concat({Slice(withOddTag, 8, commEnd - 8), Ascii("ID3 "), Be32(40), Id3Header(3, 0, 0, 30), tit2,
                 Frame23("TPE1", Bytes(4, 'a')), Bytes{0}, Slice(withOddTag, commEnd + 8 + 26)})},
        // No pad byte goes before a chunk appended at open, and it stays last.
        {"chunk appended at open", bare, "TIT2", Bytes(5, 't'),
         Concat({Slice(bare, 8), Ascii("ID3 "), Be32(26), Id3Header(3, 0, 0, 16), tit2, Bytes{0}})},
        // A chunk that holds no tag gets one; what follows it stays.
        {"empty chunk", emptyChunk, "TIT2", Bytes(6, 't'),
         Concat({Slice(emptyChunk, 8, commEnd - 8), Ascii("ID3 "), Be32(26), Id3Header(3, 0, 0, 16),
                 Frame23("TIT2", Bytes(6, 't')), ssnd})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EditSession s;
        const Bytes out = Rewrite(s, c.form, Add(c.id, c.payload), 1);
        EXPECT_EQ(Concat({Ascii("FORM"), Be32(static_cast<uint32_t>(c.tail.size())), c.tail}), out);
    }
}

// Peer files rewritten as the class commits them (no extended header, one
// frame appended): every frame comes through with its payload, 2.2 and
// unsynchronised tags among them, followed by the appended one; the bytes
// before and after the tag stay as they were.
TEST(RewriteCorpus, EveryFrameSurvivesTheRewrite) {
    if (!CorpusAvailable()) GTEST_SKIP() << "peer corpus not available";
    const char *files[] = {
        "taglib/ape-id3v2.mp3", "taglib/duplicate_id3v2.mp3", "taglib/itunes10.mp3", "taglib/rare_frames.mp3",
        "taglib/toc_many_children.mp3", "taglib/unsynch.id3", "taglib/noise.aif", "taglib/duplicate_id3v2.aiff",
        "mutagen/97-unknown-23-update.mp3", "mutagen/id3v22-test.mp3", "mutagen/with-id3.aif", "mediafile/full.mp3",
        "mediafile/unparseable.aiff", "mediafile/partial.mp3",
    };
    for (const std::string file : files) {
        SCOPED_TRACE(file);
        const Bytes original = ReadFile(CorpusPath(file)), added = Concat({Bytes{0}, Ascii("tagmill")});
        const bool aiff = file.find(".aif") != std::string::npos;
        EditSession s;
        ASSERT_EQ(TAV_OK, s.OpenFile(original, 2, aiff));
        tav_id3_v2_header old;
        ASSERT_EQ(TAV_OK, tav_id3_v2_get_header(s.get(), &old));
        ASSERT_EQ(TAV_OK, tav_id3_v2_edit_begin(s.get()));
        const bool v22 = s->edit->version == TAV_ID3_V22;
        tav_id3_v2_remove_extended_header(s.get()); // a 2.2 tag has none to drop
        ASSERT_EQ(TAV_OK, AddFrame(s.get(), v22 ? "TOT" : "TOAL", added));
        ASSERT_EQ(TAV_OK, tav_id3_v2_edit_end(s.get()));
        const Bytes out = s.Content();
        FrameList expected = ParseTag(original, old.position).List();
        expected.push_back({v22 ? "TOT" : "TOAL", added});
        EXPECT_EQ(expected, ParseTag(out, old.position).List());
        if (aiff) continue; // the chunk layout has a test of its own
        const size_t footer = old.footer ? 10 : 0, oldEnd = old.position + 10 + old.size + footer;
        EXPECT_EQ(Slice(original, 0, old.position), Slice(out, 0, old.position));
        EXPECT_EQ(Slice(original, oldEnd), Slice(out, old.position + ParseTag(out, old.position).length() + footer));
    }
}

} // namespace
