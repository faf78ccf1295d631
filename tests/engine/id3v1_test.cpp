// The ID3v1 tag at the engine: the field layout and fill of a new tag, and
// text written as UTF-16. (Which values the class stages, and how they read
// back, is tested with the class.)
#include "support/context_support.h"

using namespace testsupport;
using namespace std::string_literals;

namespace {

Bytes With(Bytes tag, size_t offset, const Bytes &bytes) {
    std::copy(bytes.begin(), bytes.end(), tag.begin() + offset);
    return tag;
}

} // namespace

// Writing to a content without a tag (none, or shorter than a tag) appends a
// space-filled tag with genre 255 that holds only the written field. A title
// that starts with FF FE is UTF-16 text: it ends after a two-byte zero unit.
TEST(Id3v1, WritingWithoutTagAppendsOne) {
    // search: what a reader gets before the write
    const struct { Bytes before; const char *title; Bytes field; int32_t search; } cases[] = {
        {FakeAudio(1), "Hello", Ascii("Hello\0"s), TAV_ERR_NOT_FOUND},
        {Ascii("short"), "\xFF\xFE" "A\0B\0\0\0x", Ascii("\xFF\xFE" "A\0B\0\0\0"s), TAV_ERR_SEEK},
    };
    for (const auto &k : cases) {
        TempDir dir;
        WriteFile(dir.file("a.mp3"), k.before);
        Context c;
        ASSERT_EQ(TAV_OK, c.OpenFile(dir.wfile("a.mp3"), 2));
        uint32_t genre = 0;
        EXPECT_EQ(k.search, tav_id3_v1_get_genre(c.get(), &genre));
        ASSERT_EQ(TAV_OK, tav_id3_v1_set_title(c.get(), k.title));
        const Bytes expected = With(With(Bytes(128, ' '), 0, Concat({Ascii("TAG"), k.field})), 127, {255});
        EXPECT_EQ(Concat({k.before, expected}), ReadFile(dir.file("a.mp3")));
        uint8_t track = 42;
        EXPECT_EQ(TAV_ERR_NOT_FOUND, tav_id3_v1_get_tracknumebr(c.get(), &track)); // byte 125 is no zero
    }
}

