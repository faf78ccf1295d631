// AIFF handling of file contexts: finding the "ID3 " chunk past padded odd
// chunks, and refusing truncated and hostile chunk layouts. (Appending a
// chunk to a writable file is tested with the rewrite.)
#include <gtest/gtest.h>

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
        uint32_t chunk_offset; // 0: the file is not taken as a form
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
        if (c.expected == TAV_OK) {
            EXPECT_EQ(context->is_aiff, c.chunk_offset ? 1 : 0);
            EXPECT_EQ(context->id3_chunk_offset, c.chunk_offset);
            if (c.chunk_offset) {
                EXPECT_EQ(tav_id3_seek_content(context.get(), 0, 1), c.chunk_offset + 8);
            }
        }
        context.Destroy();
        EXPECT_EQ(ReadFile(dir.file("a.aif")), c.file);
    }
}

} // namespace
