// Raw tag access: copying the whole ID3v2 tag out, and locating every
// property's frame data in the content, in plain and unsynchronised tags.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "support/commit_support.h"
#include "support/record_props_support.h"
#include "tag_access/mapping.h"
#include "tagmill/tagmill.h"

using namespace testsupport;
using namespace tagmill;

namespace {

// The tag as GetId3TagFrame copies it: size query, then a malloc'd buffer.
long CopyTag(CTagmill &t, Bytes *out) {
    unsigned long size = 77;
    long hr = t.GetId3TagFrame(nullptr, &size);
    if (hr != S_OK) {
        EXPECT_EQ(0u, size);
        return hr;
    }
    unsigned char *buffer = static_cast<unsigned char *>(std::malloc(size));
    hr = t.GetId3TagFrame(&buffer, &size);
    if (hr == S_OK) out->assign(buffer, buffer + size);
    std::free(buffer);
    return hr;
}

TEST(GetId3TagFrame, CopiesTheTagAsLastCommitted) {
    const Bytes tag = Concat({Id3Header(3, 0, 0, 1000), Frame23("TIT2", NarrowPayload("x"))});
    Bytes image = Concat({tag, Bytes(1010 - tag.size(), 0), FakeAudio(1)});
    CTagmill t;
    ASSERT_EQ(S_OK, OpenBytes(t, image));
    Bytes copy;
    ASSERT_EQ(S_OK, CopyTag(t, &copy));
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 1010), copy);

    unsigned char *null = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(E_FAIL, t.GetId3TagFrame(&null, &size));
    EXPECT_EQ(E_POINTER, t.GetId3TagFrame(nullptr, nullptr));
    t.Close();
    EXPECT_EQ(E_UNEXPECTED, t.GetId3TagFrame(nullptr, &size));

    ASSERT_EQ(S_OK, OpenBytes(t, FakeAudio(2)));
    EXPECT_EQ(S_FALSE, CopyTag(t, &copy)) << "no ID3v2 tag";
}

TEST(GetId3TagFrame, SeesAMemoryContentOnlyAfterItsCommit) {
    CTagmill t;
    ASSERT_EQ(S_OK, t.OpenFromMemory(nullptr, 0, 3));
    Bytes copy;
    ASSERT_EQ(S_OK, CopyTag(t, &copy));
    EXPECT_EQ(Concat({Ascii("ID3"), Bytes{3, 0, 0, 0, 0, 0x1F, 0x76}, Bytes(4086, 0)}), copy);

    ASSERT_EQ(S_OK, t.PutString(4615, {L"x"}));
    ASSERT_EQ(S_OK, CopyTag(t, &copy));
    EXPECT_TRUE(ParseTag(copy).frames.empty()) << "the put is not committed yet";
    ASSERT_EQ(S_OK, t.UpdateOnMemory());
    ASSERT_EQ(S_OK, CopyTag(t, &copy));
    EXPECT_EQ(std::vector<Bytes>{UnicodePayload(L"x")}, ParseTag(copy).Payloads("TIT2"));
}

struct SampleFrame {
    const char *id23, *id22;
    const char *description; // what singles it out, or null
    Bytes payload;
};

// Several frames per ID, so that the right one must be chosen; the picture's
// FF bytes make an unsynchronised tag differ from the plain one.
std::vector<SampleFrame> SampleFrames() {
    return {
        {"APIC", "PIC", nullptr, ApicPayload("image/png", 3, "", Bytes{0xFF, 0xE0, 0xFF, 0x00, 0xFF, 0xFB})},
        {"TIT2", "TT2", nullptr, UnicodePayload(L"Title")},
        {"TRCK", "TRK", nullptr, NarrowPayload("3/12")},
        {"GEOB", "GEO", "Other", GeobPayload("binary", "Other", Bytes{1})},
        {"GEOB", "GEO", "ImageLyrics", GeobPayload("image/jpeg", "ImageLyrics", Bytes{2})},
        {"GEOB", "GEO", "USR_MTDID", GeobPayload("binary", "USR_MTDID", Bytes{3})},
        {"GEOB", "GEO", "SfMarkers", GeobPayload("", "SfMarkers", Bytes{4})},
        {"TXXX", "TXX", "foo", TxxxPayload("foo", "bar")},
        {"TXXX", "TXX", "GN_ExtData", TxxxPayload("GN_ExtData", "ext")},
        {"COMM", "COM", "iTunNORM", CommentUtf16("eng", L"iTunNORM", L"n")},
        {"COMM", "COM", "iTunSMPB", CommentUtf16("eng", L"iTunSMPB", L"s")},
        {"WOAR", "WAR", nullptr, Ascii("http://a")},
        {"WOAR", "WAR", nullptr, Ascii("http://b")},
        {"UFID", "UFI", nullptr, UfidPayload("owner", 64)},
        {"TPOS", "TPA", nullptr, NarrowPayload("1/2")},
    };
}

Bytes SampleFile(int major, bool unsynchronised) {
    FrameList frames;
    for (const SampleFrame &f : SampleFrames()) frames.push_back({major == 2 ? f.id22 : f.id23, f.payload});
    Bytes tag = TagV2(major, frames);
    if (!unsynchronised) return Concat({tag, FakeAudio(1)});
    const Bytes body = Unsynchronise(Bytes(tag.begin() + 10, tag.end()));
    return Concat({Id3Header(static_cast<uint8_t>(major), 0, 0x80, static_cast<uint32_t>(body.size())), body,
                   FakeAudio(1)});
}

// The payload a property's frame location must point at: the frame with the
// property's description for the objects and strings located by it, the
// first frame with the ID for everything else; null when there is none.
const Bytes *ExpectedData(const std::vector<SampleFrame> &frames, const mapping::Row &row) {
    const bool byDescription = row.propertyId == 5894 || row.propertyId == 5895 || row.propertyId == 8448 ||
                               row.propertyId == 4717 || row.propertyId == 9233;
    for (const SampleFrame &f : frames) {
        uint32_t id = 0;
        for (int i = 0; i < 4; ++i) id = id << 8 | uint8_t(f.id23[i]);
        if (id != row.frameV23) continue;
        if (!byDescription || (f.description && Widen(f.description) == row.description)) return &f.payload;
    }
    return nullptr;
}

// Reads `size` data bytes from `offset`, dropping the zero byte that
// unsynchronisation put after each FF.
Bytes DataAt(const Bytes &file, size_t offset, size_t size, bool unsynchronised) {
    Bytes data;
    for (size_t i = offset; data.size() < size && i < file.size(); ++i) {
        data.push_back(file[i]);
        if (unsynchronised && file[i] == 0xFF && i + 1 < file.size() && file[i + 1] == 0) ++i;
    }
    return data;
}

TEST(GetFrameOffset, EveryPropertyPointsAtItsFramesData) {
    const std::vector<SampleFrame> frames = SampleFrames();
    for (const auto &[major, unsync] : {std::pair{2, false}, {3, false}, {4, false}, {3, true}}) {
        SCOPED_TRACE(std::to_string(major) + (unsync ? " unsynchronised" : ""));
        const Bytes file = SampleFile(major, unsync);
        CTagmill t;
        ASSERT_EQ(S_OK, OpenBytes(t, file));
        for (size_t i = 0; i < mapping::kTableSize; ++i) {
            const mapping::Row &row = mapping::kTable[i];
            SCOPED_TRACE(row.propertyId);
            long offset = -1, size = -1;
            const long hr = t.GetFrameOffset(row.propertyId, offset, size);
            const Bytes *expected = ExpectedData(frames, row);
            if (!expected) {
                const bool located = mapping::IsObjectId(row.propertyId) && row.propertyId != 4644 &&
                                     row.propertyId != 8451;
                EXPECT_EQ(located ? S_FALSE : S_OK, hr);
                EXPECT_EQ(0, offset);
                EXPECT_EQ(0, size);
                continue;
            }
            ASSERT_EQ(S_OK, hr);
            ASSERT_EQ(static_cast<long>(expected->size()), size);
            EXPECT_EQ(*expected, DataAt(file, static_cast<size_t>(offset), static_cast<size_t>(size), unsync));
        }
    }
}

TEST(GetFrameOffset, RefusesIdentifiersWithoutFramesAndContentsWithoutTags) {
    CTagmill t;
    long offset = 5, size = 5;
    EXPECT_EQ(E_UNEXPECTED, t.GetFrameOffset(4615, offset, size));
    ASSERT_EQ(S_OK, OpenBytes(t, SampleFile(3, false)));
    EXPECT_EQ(E_PROPERTY_UNSUPPORTED, t.GetFrameOffset(5120, offset, size));
    EXPECT_EQ(E_PROPERTY_UNSUPPORTED, t.GetFrameOffset(8960, offset, size));
    EXPECT_EQ(0, offset);
    t.Close();
    ASSERT_EQ(S_OK, OpenBytes(t, FakeAudio(2)));
    EXPECT_EQ(E_FAIL, t.GetFrameOffset(4615, offset, size));
    EXPECT_EQ(S_FALSE, t.GetFrameOffset(5894, offset, size));
}

} // namespace
