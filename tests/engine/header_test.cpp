// Locating and parsing the ID3v2 header: forward search with junk, MPEG sync
// and unrecognised versions, backward search through a footer, the version
// and flag tables, the empty default, and the raw tag copy.
#include <gtest/gtest.h>

#include "support/context_support.h"
#include "support/test_support.h"

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

struct HeaderCase {
    const char *name;
    Bytes content;
    int32_t result;
    tav_id3_v2_header expected; // version, position, size, unsync, compression, ext, experimental, footer
};

TEST(Id3v2Header, LocationAndParsing) {
    const HeaderCase cases[] = {
        {"2.3 at the head, extended header flag",
         Concat({Id3Header(3, 0, 0x40, 257), Bytes(257, 0), FakeAudio(1)}), TAV_OK, {1, 0, 257, 0, 0, 1, 0, 0}},
        {"2.2 flags: 0x40 is compression", Concat({Tag(2, 0, 0xF0, 4), FakeAudio(1)}), TAV_OK,
         {0, 0, 4, 1, 1, 0, 0, 0}},
        {"2.4 flags at the head keep the footer bit as stored", Concat({Tag(4, 0, 0x70, 4), FakeAudio(1)}), TAV_OK,
         {2, 0, 4, 0, 0, 1, 1, 1}},
        {"2.4 without footer flag at the head", Concat({Tag(4, 0, 0, 4), FakeAudio(1)}), TAV_OK,
         {2, 0, 4, 0, 0, 0, 0, 0}},
        {"revision 1 of 2.3 is treated as 2.4", Tag(3, 1, 0x10, 2), TAV_OK, {2, 0, 2, 0, 0, 0, 0, 1}},
        {"100 bytes of junk before the tag", Concat({Bytes(100, 0), Tag(3, 0, 0, 6)}), TAV_OK,
         {1, 100, 6, 0, 0, 0, 0, 0}},
        {"syncsafe size with top bits set",
         Concat({Ascii("ID3"), Bytes{3, 0, 0, 0x80, 0x80, 0x80, 0x81}, Bytes(4, 0)}), TAV_OK,
         {1, 0, 1, 0, 0, 0, 0, 0}},
        {"MPEG sync before the tag stops the search", Concat({FakeAudio(1), Tag(3, 0, 0, 6)}), TAV_ERR_NOT_FOUND, {}},
        {"unrecognised version skipped, tag behind it", Concat({Tag(4, 1, 0x80, 6), Tag(3, 0, 0, 2)}), TAV_OK,
         {1, 16, 2, 0, 0, 0, 0, 0}},
        {"unrecognised version running past the end", Concat({Id3Header(5, 0, 0xFF, 1000), Bytes(20, 0)}), TAV_OK,
         {-999, 0, 1000, 0, 0, 0, 0, 0}},
        {"2.4 found from the end through its footer",
         Concat({FakeAudio(2), Tag(4, 0, 0x10, 20), Footer(4, 0, 0x10, 20)}), TAV_OK,
         {2, 834, 20, 0, 0, 0, 0, 1}},
        {"found from the end: footer set although the header lacks it",
         Concat({FakeAudio(1), Tag(4, 0, 0, 20), Footer(4, 0, 0x10, 20), Bytes(5, 0)}), TAV_OK,
         {2, 417, 20, 0, 0, 0, 0, 1}},
        {"found from the end before an unrecognised tag",
         Concat({FakeAudio(1), Tag(4, 0, 0x10, 8), Footer(4, 0, 0x10, 8), Bytes(8, 0x41), Tag(4, 2, 0, 8),
                 Footer(4, 2, 0, 8)}),
         TAV_OK, {2, 417, 8, 0, 0, 0, 0, 1}},
        {"footer whose header is missing", Concat({FakeAudio(1), Bytes(20, 0), Footer(4, 0, 0x10, 20)}),
         TAV_ERR_NOT_FOUND, {}},
        {"footer size reaching before the start", Concat({Bytes(10, 1), Footer(4, 0, 0x10, 50)}), TAV_ERR_NOT_FOUND,
         {}},
        {"no tag in junk", Bytes(300, 0x41), TAV_ERR_NOT_FOUND, {}},
        {"shorter than a header", Ascii("ID3\x03"), TAV_ERR_NOT_FOUND, {}},
    };
    for (const HeaderCase &c : cases) {
        SCOPED_TRACE(c.name);
        Context context;
        ASSERT_EQ(context.OpenMemory(c.content), TAV_OK);
        tav_id3_v2_header header;
        ASSERT_EQ(tav_id3_v2_get_header(context.get(), &header), c.result);
        if (c.result != TAV_OK) continue;
        const tav_id3_v2_header &e = c.expected;
        EXPECT_EQ(header.version, e.version);
        EXPECT_EQ(header.position, e.position);
        EXPECT_EQ(header.size, e.size);
        EXPECT_EQ(header.unsynchronisation, e.unsynchronisation);
        EXPECT_EQ(header.compression, e.compression);
        EXPECT_EQ(header.extended_header, e.extended_header);
        EXPECT_EQ(header.experimental, e.experimental);
        EXPECT_EQ(header.footer, e.footer);
    }
}

TEST(Id3v2Header, GetHeader2DefaultsToEmpty23) {
    TempDir dir;
    WriteFile(dir.file("empty.mp3"), Bytes{});
    Context context;
    ASSERT_EQ(context.OpenFile(dir.wfile("empty.mp3"), 0), TAV_OK);
    tav_id3_v2_header header;
    EXPECT_EQ(tav_id3_v2_get_header(context.get(), &header), TAV_ERR_NOT_FOUND);
    memset(&header, 0x55, sizeof header);
    ASSERT_EQ(tav_id3_v2_get_header2(context.get(), &header), TAV_OK);
    tav_id3_v2_header expected{};
    expected.version = TAV_ID3_V23;
    EXPECT_EQ(memcmp(&header, &expected, sizeof header), 0);

    LogCapture log;
    EXPECT_EQ(tav_id3_v2_get_header2(nullptr, &header), TAV_ERR_PARAM);
    EXPECT_EQ(tav_id3_v2_get_header(context.get(), nullptr), TAV_ERR_PARAM);
    EXPECT_EQ(log.errors, (std::vector<std::string>{"in tav_id3_v2_get_header2() parameter is invalid.",
                                                    "in tav_id3_v2_get_header() parameter is invalid."}));
}

TEST(RawId3Tag, SizeQueryCopyAndFailures) {
    Bytes tag = Concat({Id3Header(3, 0, 0, 14), Frame23("TIT2", Bytes{0, 'A'}), Bytes(2, 0)});
    Context context;
    ASSERT_EQ(context.OpenMemory(Concat({Bytes(7, 0), tag, FakeAudio(1)})), TAV_OK);

    uint32_t size = 0;
    EXPECT_EQ(tav_id3_get_id3tag(context.get(), nullptr, &size), TAV_OK);
    EXPECT_EQ(size, 24u);

    uint8_t *buffer = nullptr;
    EXPECT_EQ(tav_id3_get_id3tag(context.get(), &buffer, &size), TAV_ERR_PARAM);

    buffer = static_cast<uint8_t *>(tav_rud_malloc(size));
    ASSERT_EQ(tav_id3_get_id3tag(context.get(), &buffer, &size), TAV_OK);
    EXPECT_EQ(Bytes(buffer, buffer + size), tag);
    tav_rud_free(buffer);

    EXPECT_EQ(tav_id3_get_id3tag(nullptr, nullptr, &size), TAV_ERR_PARAM);
    EXPECT_EQ(tav_id3_get_id3tag(context.get(), nullptr, nullptr), TAV_ERR_PARAM);
}

TEST(RawId3Tag, NoTagAndShortRead) {
    Context none;
    ASSERT_EQ(none.OpenMemory(FakeAudio(1)), TAV_OK);
    uint32_t size = 0;
    EXPECT_EQ(tav_id3_get_id3tag(none.get(), nullptr, &size), TAV_ERR_NOT_FOUND);

    // A tag claiming more bytes than the content holds: the copy is short.
    Bytes truncated = Concat({Id3Header(3, 0, 0, 100), Bytes(30, 0)});
    Context context;
    ASSERT_EQ(context.OpenMemory(truncated), TAV_OK);
    ASSERT_EQ(tav_id3_get_id3tag(context.get(), nullptr, &size), TAV_OK);
    EXPECT_EQ(size, 110u);
    uint8_t *buffer = static_cast<uint8_t *>(tav_rud_malloc(size));
    ASSERT_EQ(tav_id3_get_id3tag(context.get(), &buffer, &size), TAV_OK);
    EXPECT_EQ(size, 40u);
    EXPECT_EQ(Bytes(buffer, buffer + size), truncated);
    tav_rud_free(buffer);
}

TEST(RawId3Tag, FailedReadReleasesCallerBuffer) {
    TempDir dir;
    WriteFile(dir.file("a.mp3"), Concat({Tag(3, 0, 0, 4), FakeAudio(1)}));
    Context context;
    ASSERT_EQ(context.OpenFile(dir.wfile("a.mp3"), 0), TAV_OK);
    uint32_t size = 0;
    ASSERT_EQ(tav_id3_get_id3tag(context.get(), nullptr, &size), TAV_OK);
    uint8_t *buffer = static_cast<uint8_t *>(tav_rud_malloc(size));
    struct Countdown {
        int reads_left;
    } countdown{1}; // the header search reads once, then the copy fails
    tav_set_fault_hook(
        [](tav_op op, void *user) {
            auto *c = static_cast<Countdown *>(user);
            return op == TAV_OP_READ && c->reads_left-- <= 0 ? 1 : 0;
        },
        &countdown);
    EXPECT_EQ(tav_id3_get_id3tag(context.get(), &buffer, &size), TAV_ERR_READ);
    tav_set_fault_hook(nullptr, nullptr);
    EXPECT_EQ(buffer, nullptr);
}

TEST(Id3v2Header, AiffSearchStartsAtChunkData) {
    TempDir dir;
    // A tag in another chunk ahead of the ID3 chunk is not seen.
    Bytes file = Form("AIFF", {{"ANNO", Tag(3, 0, 0, 2)}, {"ID3 ", Tag(4, 0, 0, 6)}});
    WriteFile(dir.file("a.aif"), file);
    Context context;
    ASSERT_EQ(context.OpenFile(dir.wfile("a.aif"), 0, 1), TAV_OK);
    tav_id3_v2_header header;
    ASSERT_EQ(tav_id3_v2_get_header(context.get(), &header), TAV_OK);
    EXPECT_EQ(header.version, TAV_ID3_V24);
    EXPECT_EQ(header.position, 12 + 8 + 12 + 8);
}

} // namespace
