// AIFF handling of file contexts: finding the "ID3 " chunk past padded odd
// chunks, the header search confined to its data, and forms without one.
// (Appending a chunk to a writable file is tested with the rewrite, hostile
// chunk sizes through the class.)
#include "support/context_support.h"

using namespace testsupport;

namespace {

const Bytes kComm(18, 0x11);
const Bytes kTag = Concat({Id3Header(4, 0, 0, 4), Bytes(4, 0)});
const Bytes kOddTag = Concat({Id3Header(3, 0, 0, 1), Bytes(1, 0)}); // 11 bytes

TEST(Aiff, ChunkSearch) {
    // expected: a read-only open with AIFF handling; chunk_offset 0: the file is not taken as a form
    const struct { const char *name; Bytes file; int32_t expected; uint32_t chunk_offset; } cases[] = {
        {"after COMM", Form("AIFF", {{"COMM", kComm}, {"ID3 ", kTag}}), TAV_OK, 38},
        {"AIFC form", Form("AIFC", {{"ID3 ", kTag}}), TAV_OK, 12},
        // The tag inside the other chunk is not the one found.
        {"odd chunk holding a tag, skipped with its pad byte", Form("AIFF", {{"ANNO", kOddTag}, {"ID3 ", kTag}}),
         TAV_OK, 32},
        {"WAVE form: a plain file", Form("WAVE", {{"fmt ", kComm}}), TAV_OK, 0},
        {"no chunk", Form("AIFF", {{"COMM", kComm}, {"SSND", Bytes(40, 0)}}), TAV_ERR_SEEK, 0},
        {"lower-case id", Form("AIFF", {{"id3 ", kTag}}), TAV_ERR_SEEK, 0},
        {"chunk beyond the form's end", Form("AIFF", {{"COMM", kComm}, {"ID3 ", kTag}}, 30), TAV_ERR_SEEK, 0},
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
        }
        if (c.chunk_offset) {
            EXPECT_EQ(tav_id3_seek_content(context.get(), 0, 1), c.chunk_offset + 8);
            tav_id3_v2_header header;
            ASSERT_EQ(tav_id3_v2_get_header(context.get(), &header), TAV_OK);
            EXPECT_EQ(header.version, TAV_ID3_V24);
            EXPECT_EQ(header.position, static_cast<int32_t>(c.chunk_offset + 8));
        }
    }
}

} // namespace
