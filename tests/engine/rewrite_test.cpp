// The rewrite at the end of an edit: the new tag's byte layout and padding,
// footers, bytes before and after the tag, AIFF chunks, unsynchronised and
// extended-header sources, memory contents, and a peer reader as oracle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>

#include "support/edit_support.h"
#include "support/frame_extract.h"

using namespace testsupport;

namespace {

Bytes Tag(uint8_t major, const Bytes &body, uint8_t flags = 0) {
    return Concat({Id3Header(major, 0, flags, static_cast<uint32_t>(body.size())), body});
}

Bytes Slice(const Bytes &bytes, size_t from, size_t length = std::string::npos) {
    if (from > bytes.size()) return {};
    return Bytes(bytes.begin() + from, bytes.begin() + from + std::min(length, bytes.size() - from));
}

bool AllZero(const Bytes &b) { return std::all_of(b.begin(), b.end(), [](uint8_t x) { return x == 0; }); }

// Opens content, begins, applies change and ends the edit.
Bytes Rewrite(EditSession &s, const Bytes &content, const std::function<int32_t(tav_id3_context *)> &change,
              int32_t aiff = 0) {
    EXPECT_EQ(TAV_OK, s.OpenFile(content, 2, aiff));
    EXPECT_EQ(TAV_OK, tav_id3_v2_edit_begin(s.get()));
    EXPECT_EQ(TAV_OK, change(s.get()));
    EXPECT_EQ(TAV_OK, tav_id3_v2_edit_end(s.get()));
    return s.Content();
}

std::function<int32_t(tav_id3_context *)> Add(const char *id, const Bytes &payload) {
    return [id, payload](tav_id3_context *c) { return AddFrame(c, id, payload); };
}

TEST(RewriteLayout, NewTagInFrontOfContentWithoutTag) {
    const Bytes audio = FakeAudio(2), payload = Concat({Bytes{0}, Ascii("nineteen characters")});
    EditSession s;
    const Bytes out = Rewrite(s, audio, Add("TIT2", payload));
    // used 40, padding 1024 - 8, new size 1046: a 1056-byte tag, then the old content.
    EXPECT_EQ(Concat({Id3Header(3, 0, 0, 1046), Frame23("TIT2", payload), Bytes(1016, 0), audio}), out);
    EXPECT_EQ(TAV_TRANSACTION_NONE, s->transaction_state);
    EXPECT_EQ(nullptr, s->edit->frames);
    EXPECT_EQ(nullptr, s->edit->new_header_flags_ref);
    EXPECT_EQ(-1, s->edit->temp_handle);
    EXPECT_TRUE(s.scratch.Leftovers().empty());

    // The content is open again, and the next transaction starts from the new
    // tag; an appended frame's extra bytes sit between its header and payload.
    tav_id3_v2_frame_header flags{};
    flags.compression = flags.grouping_identity = 1;
    flags.data_length = 0x0A0B0C0D;
    flags.group_id = 0x42;
    ASSERT_EQ(TAV_OK, tav_id3_v2_edit_begin(s.get()));
    ASSERT_EQ(1u, Entries(s.get()).size());
    ASSERT_EQ(TAV_OK, AddFrame(s.get(), "GEOB", Ascii("zz"), flags));
    ASSERT_EQ(TAV_OK, tav_id3_v2_edit_end(s.get()));
    EXPECT_EQ(Concat({Id3Header(3, 0, 0, 1046), Frame23("TIT2", payload), Ascii("GEOB"), Be32(7),
                      Bytes{0, 0xA0, 0x0A, 0x0B, 0x0C, 0x0D, 0x42}, Ascii("zz"), Bytes(999, 0), audio}),
              s.Content());
    EXPECT_EQ(TAV_ERR_STATE, tav_id3_v2_edit_end(s.get()));
}

TEST(RewriteLayout, PaddingPolicy) {
    const Bytes audio = FakeAudio(3), tit2 = Frame23("TIT2", Bytes(100, 't')), tpe1 = Frame23("TPE1", Bytes(200, 'p'));
    auto removeAll = [](tav_id3_context *c) {
        int32_t rc = tav_id3_v2_remove_frame(c, FrameId("TIT2"), 0);
        return rc ? rc : tav_id3_v2_remove_frame(c, FrameId("TPE1"), 0);
    };
    struct Case {
        const char *name;
        Bytes tag;
        std::function<int32_t(tav_id3_context *)> change;
        size_t used, length; // header + frames; header + frames + padding
    } cases[] = {
        {"shrinking keeps the old length", Tag(3, Concat({tit2, tpe1, Bytes(4086 - 320, 0)})),
         [](tav_id3_context *c) { return tav_id3_v2_remove_frame(c, FrameId("TPE1"), 0); }, 120, 4096},
        {"growing within the old length", Tag(3, Concat({tit2, Bytes(500, 0)})), Add("TPE1", Bytes(90, 'n')), 220, 620},
        {"filling the old length exactly grows", Tag(3, Concat({tit2, Bytes(20, 0)})), Add("TPE1", Bytes(10, 'n')),
         140, 128 + 1024},
        {"past the old length", Tag(3, Concat({tit2, Bytes(10, 0)})), Add("APIC", Bytes(5000, 'n')), 5130, 5120 + 1024},
        {"every frame removed", Tag(3, Concat({tit2, tpe1, Bytes(30, 0)})), removeAll, 10, 360},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EditSession s;
        const Bytes out = Rewrite(s, Concat({c.tag, audio}), c.change);
        ParsedTag tag = ParseTag(out);
        EXPECT_EQ(c.length, tag.length());
        EXPECT_EQ(c.used, tag.framesEnd);
        EXPECT_TRUE(AllZero(Slice(out, c.used, c.length - c.used)));
        EXPECT_EQ(audio, Slice(out, c.length));
    }
}

TEST(RewriteFooter, TagFoundAtTheEndStaysBehindTheAudio) {
    // A 2.4 tag appended after the audio, found through its footer, with an
    // ID3v1 tag behind it. No padding: the footer follows the last frame.
    const Bytes audio = FakeAudio(3), frames = Frame24("TIT2", Ascii("t")), v1 = V1Tag("title");
    const uint32_t n = static_cast<uint32_t>(frames.size()), m = n + 15;
    EditSession s;
    const Bytes out = Rewrite(s, Concat({audio, Id3Header(4, 0, 0x10, n), frames, Ascii("3DI"), Bytes{4, 0, 0x10},
                                         Syncsafe(n), v1}),
                              [](tav_id3_context *c) {
                                  const tav_id3_v2_header_flags footer = {0, 0, 0, 0, 1};
                                  int32_t rc = tav_id3_v2_set_header_flag_info(c, &footer);
                                  return rc ? rc : AddFrame(c, "TALB", Ascii("album"));
                              });
    EXPECT_EQ(Concat({audio, Id3Header(4, 0, 0x10, m), frames, Frame24("TALB", Ascii("album")), Ascii("3DI"),
                      Bytes{4, 0, 0x10}, Syncsafe(m), v1}),
              out);
}

TEST(RewriteUnsync, CopiedFramesAreDeUnsynchronised) {
    if (!CorpusAvailable()) GTEST_SKIP() << "peer corpus not available";
    const Bytes original = ReadFile(CorpusPath("taglib/unsynch.id3"));
    const ExtractedTag expected = ExtractTag(original);
    EditSession s;
    const Bytes out = Rewrite(s, original, Add("TCOM", Concat({Bytes{0}, Ascii("composer")})));
    ParsedTag tag = ParseTag(out);
    EXPECT_EQ(0, tag.flags & 0x80);
    ASSERT_EQ(expected.frames.size() + 1, tag.frames.size());
    for (size_t i = 0; i < expected.frames.size(); ++i)
        EXPECT_EQ(expected.frames[i].payload, tag.frames[i].data) << expected.frames[i].id;
    const size_t oldLength = 10 + (original[6] << 21 | original[7] << 14 | original[8] << 7 | original[9]);
    EXPECT_EQ(Slice(original, oldLength), Slice(out, tag.length()));
}

TEST(RewriteExtendedHeader, CopyAndFlagMustAgree) {
    const Bytes ex = {0, 0, 0, 6, 0, 0, 0, 0, 0, 0}, frame = Frame23("TIT2", Ascii("abc"));
    const Bytes original = Concat({Tag(3, Concat({ex, frame, Bytes(100, 0)}), 0x40), FakeAudio(1)});
    const tav_id3_v2_header_flags withEx = {0, 0, 1, 0, 0};
    EditSession s;
    ASSERT_EQ(TAV_OK, s.OpenFile(original));
    ASSERT_EQ(TAV_OK, tav_id3_v2_edit_begin(s.get()));
    EXPECT_EQ(TAV_ERR_STATE, tav_id3_v2_edit_end(s.get())); // a copy, but no flag
    ASSERT_EQ(TAV_OK, tav_id3_v2_set_header_flag_info(s.get(), &withEx));
    ASSERT_EQ(TAV_OK, tav_id3_v2_edit_end(s.get()));
    // old length 133, used 10 + 10 + 13: the copy's padding field says 100.
    const Bytes out = s.Content();
    EXPECT_EQ(Concat({Id3Header(3, 0, 0x40, 123), Bytes{0, 0, 0, 6, 0, 0, 0, 0, 0, 100}, frame, Bytes(100, 0)}),
              Slice(out, 0, 133));

    ASSERT_EQ(TAV_OK, tav_id3_v2_edit_begin(s.get()));
    ASSERT_EQ(TAV_OK, tav_id3_v2_remove_extended_header(s.get()));
    ASSERT_EQ(TAV_OK, tav_id3_v2_set_header_flag_info(s.get(), &withEx));
    EXPECT_EQ(TAV_ERR_STATE, tav_id3_v2_edit_end(s.get())); // a flag, but no copy
    EXPECT_EQ(out, s.Content());
    EXPECT_TRUE(s.scratch.Leftovers().empty());
}

TEST(RewriteAiff, ChunkSizesAndPadBytes) {
    const Bytes comm = Concat({Bytes{0, 1, 0, 0, 0, 0x10, 0, 16}, Bytes{0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}});
    const Bytes sound(301, 0x33), tit2 = Frame23("TIT2", Bytes(5, 't'));
    const Bytes ssnd = Concat({Ascii("SSND"), Be32(40), Bytes(40, 0x22)});
    const Bytes withOddTag = AiffWithTag(Tag(3, tit2), sound); // 25-byte chunk and its pad byte
    const size_t commEnd = 12 + 8 + comm.size();
    const Bytes bare = Form("AIFF", {{"COMM", comm}, {"SSND", Bytes(40, 0x22)}});
    const Bytes emptyChunk = Form("AIFF", {{"COMM", comm}, {"ID3 ", {}}, {"SSND", Bytes(40, 0x22)}});
    struct Case {
        const char *name;
        Bytes form;
        const char *id;
        Bytes payload;
        Bytes tail; // everything after the FORM size
    } cases[] = {
        {"odd chunk in an even file", withOddTag, "TPE1", Bytes(4, 'a'),
         Concat({Slice(withOddTag, 8, commEnd - 8), Ascii("ID3 "), Be32(40), Id3Header(3, 0, 0, 30), tit2,
                 Frame23("TPE1", Bytes(4, 'a')), Bytes{0}, Slice(withOddTag, commEnd + 8 + 26)})},
        {"chunk appended at open stays last", bare, "TIT2", Bytes(5, 't'),
         Concat({Slice(bare, 8), Ascii("ID3 "), Be32(26), Id3Header(3, 0, 0, 16), tit2, Bytes{0}})},
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

TEST(RewriteMemory, ImageTakesTheNewContent) {
    const Bytes original = Concat({Tag(3, Concat({Frame23("TIT2", Ascii("abc")), Bytes(20, 0)})), FakeAudio(1)});
    EditSession f;
    const Bytes expected = Rewrite(f, original, Add("TPE1", Bytes(100, 'p')));
    EditSession s;
    ASSERT_EQ(TAV_OK, s.OpenMemory(original));
    ASSERT_EQ(TAV_OK, tav_id3_v2_edit_begin(s.get()));
    ASSERT_EQ(TAV_OK, AddFrame(s.get(), "TPE1", Bytes(100, 'p')));
    ASSERT_EQ(TAV_OK, tav_id3_v2_edit_end(s.get()));
    EXPECT_EQ(expected, s.Content());
    EXPECT_EQ(expected.size(), s->memory->position);
    EXPECT_GE(s->memory->capacity, s->memory->data_length);
    EXPECT_EQ(TAV_TRANSACTION_NONE, s->transaction_state);
    EXPECT_TRUE(s.scratch.Leftovers().empty());
}

// A peer reader as oracle: for each (before, after) pair it prints what
// differs, if anything. The after-file must hold every frame of the before-
// file plus the appended TOAL, and audio of the same length.
const char kOracle[] = R"(
import sys, mutagen, mutagen.id3
def read(path):
    try:
        f = mutagen.File(path)
        tags, info = (f.tags, f.info) if f is not None else (None, None)
    except mutagen.MutagenError:
        tags, info = mutagen.id3.ID3(path), None  # a bare tag
    lines = tags.pprint().splitlines() if tags is not None else []
    return sorted(lines), round(info.length, 3) if info is not None else None
for before, after in zip(sys.argv[1::2], sys.argv[2::2]):
    (old, old_len), (new, new_len) = read(before), read(after)
    if new != sorted(old + ['TOAL=tagmill']) or old_len != new_len:
        print(before, sorted(set(new) ^ set(old + ['TOAL=tagmill'])), old_len, new_len)
)";

TEST(RewriteOracle, PeerReaderSeesEveryFramePlusTheAppendedOne) {
    if (!CorpusAvailable()) GTEST_SKIP() << "peer corpus not available";
    if (std::system("/usr/bin/python3 -c 'import mutagen' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3-mutagen not available";
    const char *files[] = {
        "taglib/ape-id3v2.mp3", "taglib/duplicate_id3v2.mp3", "taglib/id3v22-tda.mp3", "taglib/itunes10.mp3",
        "taglib/lame_cbr.mp3", "taglib/rare_frames.mp3", "taglib/toc_many_children.mp3", "taglib/unsynch.id3",
        "taglib/xing.mp3", "taglib/alaw.aifc", "taglib/noise.aif", "taglib/duplicate_id3v2.aiff",
        "mutagen/97-unknown-23-update.mp3", "mutagen/id3v22-test.mp3", "mutagen/silence-44-s.mp3",
        "mutagen/bad-xing.mp3", "mutagen/vbri.mp3", "mutagen/with-id3.aif", "mediafile/full.mp3",
        "mediafile/image.mp3", "mediafile/full.aiff", "mediafile/unparseable.aiff", "mediafile/emptylist.mp3",
        "mediafile/partial.mp3",
    };
    EditScratch scratch;
    WriteFile(scratch.file("oracle.py"), Ascii(kOracle));
    std::string command = "/usr/bin/python3 " + scratch.file("oracle.py");
    for (size_t i = 0; i < std::size(files); ++i) {
        SCOPED_TRACE(files[i]);
        const std::string path = CorpusPath(files[i]);
        EditSession s; // as the class layer commits: no extended header, the frame appended, end
        ASSERT_EQ(TAV_OK, s.OpenFile(ReadFile(path), 2, path.find(".aif") != std::string::npos));
        ASSERT_EQ(TAV_OK, tav_id3_v2_edit_begin(s.get()));
        const bool v22 = s->edit->version == TAV_ID3_V22;
        if (!v22) {
            EXPECT_NE(TAV_ERR_EX_HEADER, tav_id3_v2_remove_extended_header(s.get()));
        }
        ASSERT_EQ(TAV_OK, AddFrame(s.get(), v22 ? "TOT" : "TOAL", Concat({Bytes{0}, Ascii("tagmill")})));
        ASSERT_EQ(TAV_OK, tav_id3_v2_edit_end(s.get()));
        const std::string copy = scratch.file(std::to_string(i) + path.substr(path.rfind('.')));
        WriteFile(copy, s.Content());
        command += " " + path + " " + copy;
    }
    FILE *pipe = popen(command.c_str(), "r");
    ASSERT_NE(nullptr, pipe);
    char line[4096];
    while (fgets(line, sizeof line, pipe)) ADD_FAILURE() << line;
    EXPECT_EQ(0, pclose(pipe));
}

} // namespace
