// Raw tag access: copying the whole ID3v2 tag out, and locating every
// property's frame data in the content.
#include <cstdlib>

#include "support/record_props_support.h"
#include "tag_access/mapping.h"

using namespace testsupport;
using namespace tagmill;

namespace {

// The tag as GetId3TagFrame copies it: size query, then a malloc'd buffer.
Bytes CopyTag(CTagmill &t) {
    unsigned long size = 0;
    EXPECT_EQ(S_OK, t.GetId3TagFrame(nullptr, &size));
    unsigned char *buffer = static_cast<unsigned char *>(std::malloc(size));
    EXPECT_EQ(S_OK, t.GetId3TagFrame(&buffer, &size));
    const Bytes copy(buffer, buffer + size);
    std::free(buffer);
    return copy;
}

TEST(GetId3TagFrame, CopiesTheTagAsLastCommitted) {
    const Bytes tag = Concat({Id3Header(3, 0, 0, 1000), Frame23("TIT2", Latin1Text("x", true))});
    const Bytes image = Concat({tag, Bytes(1010 - tag.size(), 0), FakeAudio(1)});
    CTagmill t;
    ASSERT_EQ(S_OK, OpenBytes(t, image));
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 1010), CopyTag(t));
    unsigned char *null = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(E_FAIL, t.GetId3TagFrame(&null, &size));
    EXPECT_EQ(1010u, size) << "a failed copy leaves the size asked for";
    t.Close();
    ASSERT_EQ(S_OK, OpenBytes(t, FakeAudio(2)));
    size = 77;
    EXPECT_EQ(S_FALSE, t.GetId3TagFrame(nullptr, &size)) << "no ID3v2 tag";
    EXPECT_EQ(0u, size);

    // A new memory content holds the empty 4096-byte tag; a put is seen only
    // after its commit.
    t.Close();
    ASSERT_EQ(S_OK, t.OpenFromMemory(nullptr, 0, 3));
    ASSERT_EQ(S_OK, t.PutString(4615, {L"x"}));
    EXPECT_EQ(Concat({Ascii("ID3"), Bytes{3, 0, 0, 0, 0, 0x1F, 0x76}, Bytes(4086, 0)}), CopyTag(t));
}

// Several frames per ID, so that the right one must be chosen. Each frame
// lists the properties whose frame data it is: objects and user-defined
// strings are found by description, except 4644 and 8451, which take the
// first frame with their ID like every other property.
struct SampleFrame { const char *id23, *id22; std::vector<long> properties; Bytes payload; };

const std::vector<SampleFrame> kSampleFrames = {
    {"APIC", "PIC", {4640}, ApicPayload("image/png", 3, "", Bytes{5, 6})},
    {"TIT2", "TT2", {4615}, Utf16Text(L"Title", true)},
    {"TRCK", "TRK", {4357, 4397}, Latin1Text("3/12", true)},
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
    {"TPOS", "TPA", {288, 289}, Latin1Text("1/2", true)},
};

// Objects and user-defined strings are found by description: without their
// frame they report S_FALSE, even in a content without an ID3v2 tag.
const std::set<long> kFoundByDescription = {5894, 5895, 8448, 4717, 9233};

TEST(GetFrameOffset, EveryPropertyPointsAtItsFramesData) {
    for (int major : {2, 3, 4, 0}) { // 0: a content without an ID3v2 tag
        SCOPED_TRACE(major);
        FrameList frames;
        for (const SampleFrame &f : kSampleFrames) frames.push_back({major == 2 ? f.id22 : f.id23, f.payload});
        const Bytes file = major ? Mp3(major, frames) : FakeAudio(2);
        CTagmill t;
        long offset = -1, size = -1;
        EXPECT_EQ(E_UNEXPECTED, t.GetFrameOffset(4615, offset, size));
        ASSERT_EQ(S_OK, OpenBytes(t, file));
        EXPECT_EQ(E_PROPERTY_UNSUPPORTED, t.GetFrameOffset(5120, offset, size));
        for (size_t i = 0; i < mapping::kTableSize; ++i) {
            const long id = mapping::kTable[i].propertyId;
            SCOPED_TRACE(id);
            const auto frame = std::find_if(kSampleFrames.begin(), kSampleFrames.end(), [id](const SampleFrame &f) {
                return std::count(f.properties.begin(), f.properties.end(), id) > 0;
            });
            const long hr = t.GetFrameOffset(id, offset, size);
            if (frame == kSampleFrames.end() || major == 0) {
                EXPECT_EQ(kFoundByDescription.count(id) ? S_FALSE : major ? S_OK : E_FAIL, hr);
                EXPECT_EQ(0, offset);
                EXPECT_EQ(0, size);
                continue;
            }
            ASSERT_EQ(S_OK, hr);
            ASSERT_EQ(static_cast<long>(frame->payload.size()), size);
            EXPECT_EQ(frame->payload, Bytes(file.begin() + offset, file.begin() + offset + size));
        }
    }
}

// The host's long is 32 bits wide: a 2.3 size above 2^31 comes back negative.
TEST(GetFrameOffset, SizeIsA32BitNumber) {
    CTagmill t;
    ASSERT_EQ(S_OK, OpenBytes(t, Concat({Id3Header(3, 0, 0, 20), Ascii("TPE1"), Be32(0x80000001), Bytes(12, 0)})));
    long offset = 0, size = 0;
    ASSERT_EQ(S_OK, t.GetFrameOffset(4624, offset, size));
    EXPECT_EQ(std::make_pair(20L, -2147483647L), std::make_pair(offset, size));
}

} // namespace
