// Locating and parsing the ID3v2 header: forward search with junk, MPEG sync
// and unrecognised versions, backward search through a footer, the version
// and flag tables. (The search in an AIFF chunk is tested with the chunk
// search.)
#include <array>

#include "support/context_support.h"

using namespace testsupport;

namespace {

Bytes Tag(uint8_t major, uint8_t revision, uint8_t flags, uint32_t size) {
    return Concat({Id3Header(major, revision, flags, size), Bytes(size, 0)});
}

Bytes Footer(uint8_t major, uint8_t revision, uint8_t flags, uint32_t size) {
    Bytes footer = Id3Header(major, revision, flags, size);
    footer[0] = '3', footer[1] = 'D', footer[2] = 'I';
    return footer;
}

// version, position, size, unsynchronisation, compression, extended header,
// experimental, footer (fields left out of a case are 0)
using Fields = std::array<int32_t, 8>;
Fields FieldsOf(const tav_id3_v2_header &h) {
    return {h.version,         h.position,     h.size,  h.unsynchronisation, h.compression,
            h.extended_header, h.experimental, h.footer};
}

TEST(Id3v2Header, LocationAndParsing) {
    const struct { const char *name; Bytes content; int32_t result; Fields expected; } cases[] = {
        {"2.3 at the head, extended header flag", Concat({Tag(3, 0, 0x40, 257), FakeAudio(1)}), TAV_OK,
         {1, 0, 257, 0, 0, 1, 0, 0}},
        {"2.2 flags: 0x40 is compression", Concat({Tag(2, 0, 0xF0, 4), FakeAudio(1)}), TAV_OK, {0, 0, 4, 1, 1}},
        {"2.4 flags at the head keep the footer bit as stored", Concat({Tag(4, 0, 0x70, 4), FakeAudio(1)}), TAV_OK,
         {2, 0, 4, 0, 0, 1, 1, 1}},
        {"revision 1 of 2.3 is treated as 2.4", Tag(3, 1, 0x10, 2), TAV_OK, {2, 0, 2, 0, 0, 0, 0, 1}},
        {"100 bytes of junk before the tag", Concat({Bytes(100, 0), Tag(3, 0, 0, 6)}), TAV_OK, {1, 100, 6}},
        {"syncsafe size with top bits set", Concat({Ascii("ID3"), Bytes{3, 0, 0, 0x80, 0x80, 0x80, 0x81}, Bytes(4, 0)}),
         TAV_OK, {1, 0, 1}},
        {"MPEG sync before the tag stops the search", Concat({FakeAudio(1), Tag(3, 0, 0, 6)}), TAV_ERR_NOT_FOUND, {}},
        {"unrecognised version skipped, tag behind it", Concat({Tag(4, 1, 0x80, 6), Tag(3, 0, 0, 2)}), TAV_OK,
         {1, 16, 2}},
        {"unrecognised version running past the end", Concat({Id3Header(5, 0, 0xFF, 1000), Bytes(20, 0)}), TAV_OK,
         {-999, 0, 1000}},
        {"found from the end: footer set although the header lacks it",
         Concat({FakeAudio(1), Tag(4, 0, 0, 20), Footer(4, 0, 0x10, 20), Bytes(5, 0)}), TAV_OK,
         {2, 417, 20, 0, 0, 0, 0, 1}},
        {"found from the end before an unrecognised tag",
         Concat({FakeAudio(1), Tag(4, 0, 0x10, 8), Footer(4, 0, 0x10, 8), Bytes(8, 0x41), Tag(4, 2, 0, 8),
                 Footer(4, 2, 0, 8)}),
         TAV_OK, {2, 417, 8, 0, 0, 0, 0, 1}},
        {"footer whose header is missing", Concat({FakeAudio(1), Bytes(20, 0), Footer(4, 0, 0x10, 20)}),
         TAV_ERR_NOT_FOUND, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Context context;
        ASSERT_EQ(context.OpenMemory(c.content), TAV_OK);
        tav_id3_v2_header header;
        ASSERT_EQ(tav_id3_v2_get_header(context.get(), &header), c.result);
        if (c.result == TAV_OK) {
            EXPECT_EQ(FieldsOf(header), c.expected);
        }
    }
}

} // namespace
