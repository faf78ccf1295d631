// AIFF handling of file contexts: finding the "ID3 " chunk (padded odd
// chunks, truncated and hostile sizes), appending one to a writable file,
// and real and broken AIFF files written by other tag libraries.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/context_support.h"

using namespace testsupport;

namespace {

const Bytes kComm(18, 0x11);
const Bytes kTag = Concat({Id3Header(3, 0, 0, 4), Bytes(4, 0)});

TEST(Aiff, ChunkSearch) {
    const struct {
        const char *name;
        Bytes file;
        int32_t expected; // read-only open with AIFF handling
        uint32_t chunk_offset;
    } cases[] = {
        {"after COMM", Form("AIFF", {{"COMM", kComm}, {"ID3 ", kTag}}), TAV_OK, 38},
        {"AIFC form", Form("AIFC", {{"ID3 ", kTag}}), TAV_OK, 12},
        {"odd chunk skipped with its pad byte", Form("AIFF", {{"ANNO", Bytes(5, 'a')}, {"ID3 ", kTag}}), TAV_OK, 26},
        {"WAVE form: a plain file", Form("WAVE", {{"fmt ", kComm}}), TAV_OK, 0},
        {"shorter than a form header: a plain file", Ascii("FORM"), TAV_OK, 0},
        {"no chunk", Form("AIFF", {{"COMM", kComm}, {"SSND", Bytes(40, 0)}}), TAV_ERR_SEEK, 0},
        {"lower-case id", Form("AIFF", {{"id3 ", kTag}}), TAV_ERR_SEEK, 0},
        {"chunk beyond the form's end", Form("AIFF", {{"COMM", kComm}, {"ID3 ", kTag}}, 30), TAV_ERR_SEEK, 0},
        {"form of size 4", Form("AIFF", {{"ID3 ", kTag}}, 4), TAV_ERR_SEEK, 0},
        {"truncated chunk header", Concat({Form("AIFF", {{"COMM", kComm}}, 100), Ascii("ID3")}), TAV_ERR_SEEK, 0},
        {"size wrapping 32 bits", Concat({Ascii("FORMxxxxAIFFCOMM"), Be32(0xFFFFFFFF), Ascii("ID3 "), Be32(0)}),
         TAV_ERR_SEEK, 0},
        {"size past the end", Concat({Form("AIFF", {}, 0x7FFFFFF0), Ascii("SSND"), Be32(0x10000000)}), TAV_ERR_SEEK,
         0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir.file("a.aif"), c.file);
        Context context;
        EXPECT_EQ(context.OpenFile(dir.wfile("a.aif"), 0, 1), c.expected);
        if (c.expected == TAV_OK && c.chunk_offset) {
            EXPECT_EQ(context->is_aiff, 1);
            EXPECT_EQ(context->id3_chunk_missing, 0);
            EXPECT_EQ(context->id3_chunk_offset, c.chunk_offset);
            EXPECT_EQ(context->id3_chunk_data_offset, c.chunk_offset + 8);
            EXPECT_EQ(tav_id3_seek_content(context.get(), 0, 1), c.chunk_offset + 8);
        } else if (c.expected == TAV_OK) {
            EXPECT_EQ(context->is_aiff, 0);
        }
        context.Destroy();
        EXPECT_EQ(ReadFile(dir.file("a.aif")), c.file);
    }
}

// The writable open appends "ID3 ", its size and an empty tag, and fixes the
// FORM size; no pad byte goes before the chunk even after an odd length.
Bytes Appended(Bytes original, uint32_t padding) {
    Bytes out = Concat({original, Ascii("ID3 "), Be32(10 + padding), Id3Header(3, 0, 0, padding), Bytes(padding, 0)});
    Bytes form_size = Be32(static_cast<uint32_t>(out.size() - 8));
    std::copy(form_size.begin(), form_size.end(), out.begin() + 4);
    return out;
}

TEST(Aiff, WritableFileWithoutChunkGetsOne) {
    for (bool odd : {false, true}) {
        SCOPED_TRACE(odd ? "odd length" : "even length");
        TempDir dir;
        Bytes original = Form("AIFF", {{"COMM", kComm}, {"SSND", Bytes(odd ? 9 : 10, 0x22), false}});
        WriteFile(dir.file("a.aif"), original);
        tav_id3_v2_header header = EmptyTagHeader(20);
        {
            Context context;
            ASSERT_EQ(context.OpenFile(dir.wfile("a.aif"), 2, 1, &header), TAV_OK);
            EXPECT_EQ(context->id3_chunk_missing, 1); // created by this open
            EXPECT_EQ(context->id3_chunk_offset, original.size());
            EXPECT_EQ(tav_id3_seek_content(context.get(), 0, 1), original.size() + 8);
        }
        EXPECT_EQ(ReadFile(dir.file("a.aif")), Appended(original, 20));
        if (odd) continue;
        Context again; // a later open finds the chunk and its tag
        ASSERT_EQ(again.OpenFile(dir.wfile("a.aif"), 0, 1), TAV_OK);
        tav_id3_v2_header found;
        ASSERT_EQ(tav_id3_v2_get_header(again.get(), &found), TAV_OK);
        EXPECT_EQ(found.position, static_cast<int32_t>(original.size() + 8));
    }
}

TEST(AiffCorpus, PeerFiles) {
    if (!CorpusAvailable()) GTEST_SKIP() << "peer corpus not available";
    const struct {
        const char *file;
        int32_t read_only; // result of a read-only open with AIFF handling
        bool form;         // whether the file is taken as an AIFF form
    } cases[] = {
        {"taglib/duplicate_id3v2.aiff", TAV_OK, true}, {"taglib/empty.aiff", TAV_ERR_SEEK, true},
        {"taglib/noise.aif", TAV_ERR_SEEK, true},      {"taglib/noise_odd.aif", TAV_ERR_SEEK, true},
        {"taglib/alaw.aifc", TAV_ERR_SEEK, true},
        {"taglib/segfault.aif", TAV_ERR_SEEK, true},       // FORM size far beyond the file
        {"taglib/excessive_alloc.aif", TAV_OK, false},     // damaged form type
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        std::string path = CorpusPath(c.file);
        if (!FileExists(path)) continue;
        Bytes before = ReadFile(path);
        {
            Context context;
            ASSERT_EQ(context.OpenFile(Widen(path), 0, 1), c.read_only);
            tav_id3_v2_header header;
            if (c.read_only == TAV_OK && c.form) {
                ASSERT_EQ(tav_id3_v2_get_header(context.get(), &header), TAV_OK);
                EXPECT_EQ(header.position, static_cast<int32_t>(context->id3_chunk_data_offset));
            }
        }
        EXPECT_EQ(ReadFile(path), before);

        TempDir dir; // a writable copy gets a chunk when it has none
        WriteFile(dir.file("copy.aif"), before);
        tav_id3_v2_header empty = EmptyTagHeader(0);
        Context context;
        ASSERT_EQ(context.OpenFile(dir.wfile("copy.aif"), 2, 1, &empty), TAV_OK);
        EXPECT_EQ(context->is_aiff, c.form ? 1 : 0);
        context.Destroy();
        EXPECT_EQ(ReadFile(dir.file("copy.aif")), c.form && c.read_only != TAV_OK ? Appended(before, 0) : before);
    }
}

} // namespace
