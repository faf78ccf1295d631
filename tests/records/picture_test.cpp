// Picture record: APIC and PIC payload parsing, the payloads it refuses, and
// copying the picture out into a caller's buffer.
#include "tagmill/picture.h"

#include "record_test_util.h"

using namespace tagmill;
using namespace testsupport;
using namespace recordtest;
using Picture = CTagmill::CPicture;

namespace {

Bytes PictureBytes(const Picture &picture) {
    Bytes out(static_cast<size_t>(picture.Size()));
    unsigned char *buffer = out.data();
    long size = picture.Size();
    EXPECT_EQ(S_OK, picture.GetData(&buffer, size));
    return out;
}

TEST(Picture, PayloadLayouts) {
    // Every parse starts from this record, which a refused payload leaves as it is.
    const Bytes old{9, 9};
    const Bytes utf8 = Concat({{3}, Ascii("image/png"), {0, 3, 0, 1}});
    const struct { const char *name; bool pic; Bytes payload; long result; std::wstring mime; Bytes data; } cases[] = {
        {"APIC png", false, Concat({{0}, Ascii("image/png"), {0, 3, 0}, Counting(100)}), S_OK, L"image/png",
         Counting(100)},
        // The description starts at an odd offset and holds 'A', U+0100: the zero
        // pair across the two characters is no terminator.
        {"APIC UTF-16", false, Concat({{1}, Ascii("image/jpeg"), {0, 3, 0xFF, 0xFE, 0x41, 0, 0, 1, 0, 0, 0xDE, 0xAD}}),
         S_OK, L"image/jpeg", {0xDE, 0xAD}},
        {"APIC empty MIME", false, {0, 0, 3, 0, 5, 6}, S_OK, L"", {5, 6}},
        {"APIC Latin-1 MIME", false, {0, 'i', 0xE9, 0, 3, 0, 1}, S_OK, L"i\u00E9", {1}},
        {"APIC unterminated description", false, {0, 'x', 0, 3, 'a', 'b'}, S_OK, L"x", {}},
        {"APIC without picture type", false, {0, 'x', 0}, S_OK, L"x", {}},
        {"PIC JPG", true, Concat({{0}, Ascii("JPG"), {3, 'd', 0, 7, 7}}), S_OK, L"image/jpeg", {7, 7}},
        {"PIC PNG UTF-16", true, Concat({{1}, Ascii("PNG"), {3, 0xFF, 0xFE, 0, 1, 0, 0, 4}}), S_OK, L"image/png", {4}},
        {"PIC jpg", true, Concat({{0}, Ascii("jpg"), {3, 0, 7}}), S_OK, L"", {7}},
        {"PIC short", true, {0, 'P', 'N'}, S_OK, L"", {}},
        // Refused: descriptions in UTF-8 or UTF-16BE, a MIME type without its zero byte.
        {"APIC UTF-8", false, utf8, E_FAIL, L"image/gif", old},
        {"PIC UTF-8", true, utf8, E_FAIL, L"image/gif", old},
        {"APIC UTF-16BE", false, Concat({{2}, Ascii("image/png"), {0, 3, 0, 0, 1}}), E_FAIL, L"image/gif", old},
        {"APIC unterminated MIME", false, Concat({{0}, Ascii("image/png")}), E_FAIL, L"image/gif", old},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Picture picture;
        ASSERT_EQ(S_OK, picture.SetAll(old.data(), 2, L"image/gif"));
        const long size = static_cast<long>(c.payload.size());
        EXPECT_EQ(c.result, c.pic ? picture.SetPIC(c.payload.data(), size) : picture.SetAPIC(c.payload.data(), size));
        EXPECT_EQ(c.mime, picture.Mime());
        EXPECT_EQ(c.data, PictureBytes(picture));
    }
}

TEST(Picture, GetDataClipsToCapacityAndEmptyDataKeepsMime) {
    Picture picture;
    const Bytes image = Counting(100);
    ASSERT_EQ(S_OK, picture.SetAll(image.data(), 100, L"image/png"));
    for (long capacity : {10L, 200L, -4L}) {
        Bytes buffer(200, 0xEE);
        unsigned char *p = buffer.data();
        long size = capacity;
        ASSERT_EQ(S_OK, picture.GetData(&p, size));
        const long copied = std::max(0L, std::min(capacity, 100L));
        EXPECT_EQ(std::min(capacity, 100L), size);
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + copied, buffer.begin()));
        EXPECT_EQ(0xEE, buffer[static_cast<size_t>(copied)]);
    }
    ASSERT_EQ(S_OK, picture.SetData(image.data(), 0));
    EXPECT_EQ(0, picture.Size());
    EXPECT_EQ(L"image/png", picture.Mime());
    // A negative size fails as an allocation would, leaving no data.
    ASSERT_EQ(S_OK, picture.SetData(image.data(), 100));
    EXPECT_EQ(E_OUTOFMEMORY, picture.SetData(image.data(), -1));
    EXPECT_EQ(0, picture.Size());
}

} // namespace
