// Picture record: APIC and PIC payload parsing, payloads it refuses or that
// end early, and copying the picture out into a caller's buffer.
#include "tagmill/picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

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
    const struct {
        const char *name;
        bool pic;
        Bytes payload;
        std::wstring mime;
        Bytes data;
    } cases[] = {
        {"APIC png", false, Concat({{0}, Ascii("image/png"), {0, 3, 0}, Counting(100)}), L"image/png", Counting(100)},
        // The description starts at an odd offset and holds 'A', U+0100: the zero
        // pair across the two characters is no terminator.
        {"APIC UTF-16", false, Concat({{1}, Ascii("image/jpeg"), {0, 3, 0xFF, 0xFE, 0x41, 0, 0, 1, 0, 0, 0xDE, 0xAD}}),
         L"image/jpeg", {0xDE, 0xAD}},
        {"APIC empty MIME", false, {0, 0, 3, 0, 5, 6}, L"", {5, 6}},
        {"APIC Latin-1 MIME", false, {0, 'i', 0xE9, 0, 3, 0, 1}, L"i\u00E9", {1}},
        {"APIC unterminated description", false, {0, 'x', 0, 3, 'a', 'b'}, L"x", {}},
        {"APIC without picture type", false, {0, 'x', 0}, L"x", {}},
        {"PIC JPG", true, Concat({{0}, Ascii("JPG"), {3, 'd', 0, 7, 7}}), L"image/jpeg", {7, 7}},
        {"PIC PNG UTF-16", true, Concat({{1}, Ascii("PNG"), {3, 0xFF, 0xFE, 0, 1, 0, 0, 4}}), L"image/png", {4}},
        {"PIC jpg", true, Concat({{0}, Ascii("jpg"), {3, 0, 7}}), L"", {7}},
        {"PIC short", true, {0, 'P', 'N'}, L"", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Picture picture;
        const long size = static_cast<long>(c.payload.size());
        ASSERT_EQ(S_OK, c.pic ? picture.SetPIC(c.payload.data(), size) : picture.SetAPIC(c.payload.data(), size));
        EXPECT_EQ(c.mime, picture.Mime());
        EXPECT_EQ(c.data, PictureBytes(picture));
    }
}

TEST(Picture, RejectedPayloadsLeaveRecordUnchanged) {
    // UTF-8 and UTF-16BE descriptions, and a MIME type without its zero byte.
    const Bytes payloads[] = {Concat({{3}, Ascii("image/png"), {0, 3, 0, 1}}),
                              Concat({{2}, Ascii("image/png"), {0, 3, 0, 0, 1}}), Concat({{0}, Ascii("image/png")})};
    for (const Bytes &payload : payloads) {
        Picture picture;
        ASSERT_EQ(S_OK, picture.SetAll(payload.data(), 3, L"image/gif"));
        EXPECT_EQ(E_FAIL, picture.SetAPIC(payload.data(), static_cast<long>(payload.size())));
        EXPECT_EQ(L"image/gif", picture.Mime());
        EXPECT_EQ(Bytes(payload.begin(), payload.begin() + 3), PictureBytes(picture));
    }
    Picture picture;
    EXPECT_EQ(E_FAIL, picture.SetPIC(payloads[0].data(), static_cast<long>(payloads[0].size())));
    EXPECT_EQ(E_FAIL, picture.SetAPIC(payloads[0].data(), 0));
    EXPECT_EQ(E_POINTER, picture.SetAPIC(nullptr, 10));
    EXPECT_EQ(E_POINTER, picture.SetPIC(nullptr, 10));
}

TEST(Picture, EveryTruncationStaysInsideThePayload) {
    // Each prefix sits in an exact-size heap block for the memory checkers.
    const Bytes full = Concat({{1}, Ascii("image/png"), {0, 3, 0xFF, 0xFE, 'a', 0, 0, 0}, Counting(6)});
    for (size_t n = 0; n <= full.size(); ++n) {
        std::unique_ptr<unsigned char[]> cut(new unsigned char[n]);
        std::copy(full.begin(), full.begin() + n, cut.get());
        Picture apic, pic;
        const long size = static_cast<long>(n);
        EXPECT_TRUE(Failed(apic.SetAPIC(cut.get(), size)) || apic.Size() <= size - 12 || apic.Size() == 0) << n;
        EXPECT_TRUE(Failed(pic.SetPIC(cut.get(), size)) || pic.Size() <= size - 7 || pic.Size() == 0) << n;
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
        const long expected = std::max(0L, std::min(capacity, 100L));
        EXPECT_EQ(expected, size);
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + expected, buffer.begin()));
        EXPECT_EQ(0xEE, buffer[static_cast<size_t>(expected)]);
    }
    long size = 10;
    EXPECT_EQ(E_POINTER, picture.GetData(nullptr, size));

    ASSERT_EQ(S_OK, picture.SetData(image.data(), 0));
    EXPECT_EQ(0, picture.Size());
    EXPECT_EQ(L"image/png", picture.Mime());
    EXPECT_EQ(E_POINTER, picture.SetData(nullptr, 4));
    EXPECT_EQ(E_INVALIDARG, picture.SetData(image.data(), -1));
}

} // namespace
