// The ID3v1 tag: field layout and fill, appending a new tag, text lengths and
// trimming, years, the ID3v1.1 track byte, and the transaction-state rules.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "support/context_support.h"

using namespace testsupport;
using namespace std::string_literals;

namespace {

Bytes V1(uint8_t fill = 'x') {
    Bytes tag(128, fill);
    std::memcpy(tag.data(), "TAG", 3);
    return tag;
}

Bytes With(Bytes tag, size_t offset, const Bytes &bytes) {
    std::copy(bytes.begin(), bytes.end(), tag.begin() + offset);
    return tag;
}

std::string Title(Context &c, uint32_t wanted = 30) {
    char buf[32];
    EXPECT_EQ(TAV_OK, tav_id3_v1_get_title(c.get(), buf, &wanted));
    EXPECT_EQ(std::strlen(buf), wanted);
    return std::string(buf, wanted);
}

} // namespace

// Writing to a content without a tag (none, or shorter than a tag) appends a
// space-filled tag with genre 255 that holds only the written field.
TEST(Id3v1, WritingWithoutTagAppendsOne) {
    for (const Bytes &before : {FakeAudio(1), Ascii("short")}) {
        TempDir dir;
        WriteFile(dir.file("a.mp3"), before);
        Context c;
        ASSERT_EQ(TAV_OK, c.OpenFile(dir.wfile("a.mp3"), 2));
        uint32_t genre = 0;
        EXPECT_EQ(before.size() < 128 ? TAV_ERR_SEEK : TAV_ERR_NOT_FOUND, tav_id3_v1_get_genre(c.get(), &genre));
        ASSERT_EQ(TAV_OK, tav_id3_v1_set_title(c.get(), "Hello"));
        Bytes expected = With(With(Bytes(128, ' '), 0, Ascii("TAGHello\0"s)), 127, {255});
        EXPECT_EQ(Concat({before, expected}), ReadFile(dir.file("a.mp3")));
        uint8_t track = 42;
        EXPECT_EQ(TAV_ERR_NOT_FOUND, tav_id3_v1_get_tracknumebr(c.get(), &track));
        EXPECT_EQ("Hello", Title(c));
    }
}

// On an existing tag each writer changes its own field and nothing else.
TEST(Id3v1, WritersOnAnExistingTag) {
    using Writer = std::function<int32_t(tav_id3_context *)>;
    auto title = [](const char *t) -> Writer { return [t](tav_id3_context *c) { return tav_id3_v1_set_title(c, t); }; };
    struct Case {
        Writer write;
        size_t offset;
        Bytes field;
    } cases[] = {
        {title(""), 3, Concat({Bytes{0}, Bytes(29, ' ')})},
        {title("\xFF\xFE" "A\0B\0\0\0x"), 3, Concat({Ascii("\xFF\xFE" "A\0B\0\0\0"s), Bytes(22, ' ')})},
        {[](tav_id3_context *c) { return tav_id3_v1_set_artist(c, "abcdefghijklmnopqrstuvwxyz0123"); }, 33,
         Ascii("abcdefghijklmnopqrstuvwxyz0123")},
        {[](tav_id3_context *c) { return tav_id3_v1_set_year(c, 0); }, 93, Ascii("    ")},
        {[](tav_id3_context *c) { return tav_id3_v1_set_genre(c, 17); }, 127, Bytes{17}},
        {[](tav_id3_context *c) { return tav_id3_v1_set_tracknumber(c, 7); }, 125, Bytes{0, 7}},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.offset);
        Context c;
        ASSERT_EQ(TAV_OK, c.OpenMemory(Concat({FakeAudio(1), V1()})));
        ASSERT_EQ(TAV_OK, k.write(c.get()));
        EXPECT_EQ(Concat({FakeAudio(1), With(V1(), k.offset, k.field)}),
                  Bytes(c->memory->buffer, c->memory->buffer + c->memory->data_length));
    }
}

// Refused values, and an open ID3v2 edit, leave the tag as it was; the
// readers still answer during the edit.
TEST(Id3v1, RefusedWrites) {
    Context c;
    ASSERT_EQ(TAV_OK, c.OpenMemory(V1()));
    EXPECT_EQ(TAV_ERR_PARAM, tav_id3_v1_set_title(c.get(), "abcdefghijklmnopqrstuvwxyz01234"));
    EXPECT_EQ(TAV_ERR_PARAM, tav_id3_v1_set_year(c.get(), 10000));
    EXPECT_EQ(TAV_ERR_PARAM, tav_id3_v1_set_year(c.get(), 999));
    c->transaction_state = TAV_TRANSACTION_V2_EDIT;
    EXPECT_EQ(TAV_ERR_STATE, tav_id3_v1_set_genre(c.get(), 1));
    EXPECT_EQ(std::string(30, 'x'), Title(c));
    EXPECT_EQ(V1(), Bytes(c->memory->buffer, c->memory->buffer + 128));
}

// Text fields are trimmed of trailing whitespace, cut to the wanted length
// and end at a zero byte; years read like atoi; only a zero byte at 125
// makes 126 a track number.
TEST(Id3v1, Readers) {
    struct Text {
        Bytes field;
        uint32_t wanted;
        std::string text;
    } texts[] = {
        {Concat({Ascii("abc"), Bytes(27, ' ')}), 2, "ab"},
        {Ascii("abcdefghijklmnopqrstuvwxyz0123"), 50, "abcdefghijklmnopqrstuvwxyz0123"},
        {Concat({Ascii(" a b\t\n\r\v\f"), Bytes(21, ' ')}), 30, " a b"},
        {Concat({Ascii("ab\0cd"s), Bytes(25, 'z')}), 30, "ab"},
    };
    for (const Text &k : texts) {
        Context c;
        ASSERT_EQ(TAV_OK, c.OpenMemory(With(V1(), 3, k.field)));
        EXPECT_EQ(k.text, Title(c, k.wanted));
    }
    Context v10;
    ASSERT_EQ(TAV_OK, v10.OpenMemory(With(V1(' '), 93, Ascii("19x5"))));
    int32_t year = -1;
    ASSERT_EQ(TAV_OK, tav_id3_v1_get_year(v10.get(), &year));
    EXPECT_EQ(19, year);
    uint8_t track = 0;
    EXPECT_EQ(TAV_ERR_NOT_FOUND, tav_id3_v1_get_tracknumebr(v10.get(), &track));
}
