// Raw tag access: copying the whole ID3v2 tag out, and locating every
// property's frame data in the content, in plain and unsynchronised tags.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

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
    const Bytes image = Concat({tag, Bytes(1010 - tag.size(), 0), FakeAudio(1)});
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

    // A new memory content holds the empty 4096-byte tag; a put is seen only
    // after its commit.
    t.Close();
    ASSERT_EQ(S_OK, t.OpenFromMemory(nullptr, 0, 3));
    ASSERT_EQ(S_OK, t.PutString(4615, {L"x"}));
    ASSERT_EQ(S_OK, CopyTag(t, &copy));
    EXPECT_EQ(Concat({Ascii("ID3"), Bytes{3, 0, 0, 0, 0, 0x1F, 0x76}, Bytes(4086, 0)}), copy);
}

// Several frames per ID, so that the right one must be chosen; the picture's
// FF bytes make an unsynchronised tag differ from the plain one. Each frame
// lists the properties whose frame data it is: objects and user-defined
// strings are found by description, except 4644 and 8451, which take the
// first frame with their ID like every other property.
struct SampleFrame {
    const char *id23, *id22;
    std::vector<long> properties;
    Bytes payload;
};

const std::vector<SampleFrame> kSampleFrames = {
    {"APIC", "PIC", {4640}, ApicPayload("image/png", 3, "", Bytes{0xFF, 0xE0, 0xFF, 0x00, 0xFF, 0xFB})},
    {"TIT2", "TT2", {4615}, UnicodePayload(L"Title")},
    {"TRCK", "TRK", {4357, 4397}, NarrowPayload("3/12")},
    {"GEOB", "GEO", {4644, 8451}, GeobPayload("binary", "Other", Bytes{1})},
    {"GEOB", "GEO", {}, GeobPayload("image/jpeg", "ImageLyrics", Bytes{2})},
    {"GEOB", "GEO", {5894}, GeobPayload("binary", "USR_MTDID", Bytes{3})},
    {"GEOB", "GEO", {8448}, GeobPayload("", "SfMarkers", Bytes{4})},
    {"TXXX", "TXX", {}, TxxxPayload("foo", "bar")},
    {"TXXX", "TXX", {4717}, TxxxPayload("GN_ExtData", "ext")},
    {"COMM", "COM", {}, CommentUtf16("eng", L"iTunNORM", L"n")},
    {"COMM", "COM", {9233}, CommentUtf16("eng", L"iTunSMPB", L"s")},
    {"WOAR", "WAR", {4646}, Ascii("http://a")},
    {"WOAR", "WAR", {}, Ascii("http://b")},
    {"UFID", "UFI", {5891}, UfidPayload("owner", 64)},
    {"TPOS", "TPA", {288, 289}, NarrowPayload("1/2")},
};

Bytes SampleFile(int major, bool unsynchronised) {
    FrameList frames;
    for (const SampleFrame &f : kSampleFrames) frames.push_back({major == 2 ? f.id22 : f.id23, f.payload});
    const Bytes tag = TagV2(major, frames);
    if (!unsynchronised) return Concat({tag, FakeAudio(1)});
    const Bytes body = Unsynchronise(Bytes(tag.begin() + 10, tag.end()));
    return Concat({Id3Header(static_cast<uint8_t>(major), 0, 0x80, static_cast<uint32_t>(body.size())), body,
                   FakeAudio(1)});
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
    for (const auto &[major, unsync] : {std::pair{2, false}, {3, false}, {4, false}, {3, true}}) {
        SCOPED_TRACE(std::to_string(major) + (unsync ? " unsynchronised" : ""));
        const Bytes file = SampleFile(major, unsync);
        CTagmill t;
        ASSERT_EQ(S_OK, OpenBytes(t, file));
        for (size_t i = 0; i < mapping::kTableSize; ++i) {
            const long id = mapping::kTable[i].propertyId;
            SCOPED_TRACE(id);
            const auto frame = std::find_if(kSampleFrames.begin(), kSampleFrames.end(), [id](const SampleFrame &f) {
                return std::count(f.properties.begin(), f.properties.end(), id) > 0;
            });
            long offset = -1, size = -1;
            const long hr = t.GetFrameOffset(id, offset, size);
            if (frame == kSampleFrames.end()) {
                // Of the properties found by description, only 5895 is missing.
                EXPECT_EQ(id == 5895 ? S_FALSE : S_OK, hr);
                EXPECT_EQ(0, offset);
                EXPECT_EQ(0, size);
                continue;
            }
            ASSERT_EQ(S_OK, hr);
            ASSERT_EQ(static_cast<long>(frame->payload.size()), size);
            EXPECT_EQ(frame->payload, DataAt(file, static_cast<size_t>(offset), static_cast<size_t>(size), unsync));
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
