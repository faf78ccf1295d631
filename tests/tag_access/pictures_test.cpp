// Pictures: the frame a put writes in each tag version and what a reopen reads
// back, picture frames the record cannot read, and other readers (mutagen,
// TagLib, corpus files).
#include <gtest/gtest.h>

#include "support/commit_support.h"
#include "support/frame_extract.h"
#include "support/record_props_support.h"
#include "tagmill/tagmill.h"

#ifdef TAGMILL_HAVE_TAGLIB
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#endif

using namespace testsupport;
using namespace tagmill;

namespace {

using Picture = CTagmill::CPicture;
using Pictures = std::vector<std::shared_ptr<Picture>>;

std::shared_ptr<Picture> MakePicture(const std::wstring &mime, const Bytes &data) {
    auto picture = std::make_shared<Picture>();
    EXPECT_EQ(S_OK, picture->SetAll(data.data(), static_cast<long>(data.size()), mime));
    return picture;
}

Bytes DataOf(const Picture &picture) {
    Bytes data(static_cast<size_t>(picture.Size()));
    unsigned char *out = data.data();
    long size = picture.Size();
    EXPECT_EQ(S_OK, picture.GetData(&out, size));
    return data;
}

// Every byte value, so that zero bytes and FF bytes sit inside the picture.
Bytes Image(size_t n = 300) {
    Bytes data(n);
    for (size_t i = 0; i < n; ++i) data[i] = static_cast<uint8_t>(i * 7);
    return data;
}

// Opens the file for writing, puts the pictures and closes it.
void PutPictures(const std::string &path, const Pictures &pictures) {
    CTagmill t;
    ASSERT_EQ(S_OK, t.Open(Widen(path), 3));
    ASSERT_EQ(S_OK, t.PutBinary(4640, pictures));
    Pictures got;
    EXPECT_EQ(pictures.empty() ? E_PROPERTY_ABSENT : S_OK, t.GetBinary(4640, got));
    EXPECT_EQ(pictures.empty() ? Pictures{} : pictures, got) << "the cache shares the caller's records";
    ASSERT_EQ(S_OK, t.Close());
}

Pictures Reopen(const std::string &path, long expected = S_OK) {
    CTagmill t;
    EXPECT_EQ(S_OK, t.Open(Widen(path), 1));
    Pictures got;
    EXPECT_EQ(expected, t.GetBinary(4640, got));
    return got;
}

TEST(Pictures, PutWritesOneFrameOfTheTagsVersionAndReadsBack) {
    const Bytes data{0x89, 0x00, 0xFF};
    const struct {
        int major;
        std::wstring mime;
        Bytes payload;
        std::wstring mimeRead;
    } cases[] = {
        {3, L"image/png", Concat({Bytes{0}, Ascii("image/png"), Bytes{0, 3, 0}, data}), L"image/png"},
        {4, L"image/jpeg", Concat({Bytes{0}, Ascii("image/jpeg"), Bytes{0, 3, 0}, data}), L"image/jpeg"},
        {3, L"", Concat({Bytes{0, 0, 3, 0}, data}), L""},
        {2, L"image/jpeg", Concat({Bytes{0}, Ascii("JPG"), Bytes{0, 0}, data}), L"image/jpeg"},
        {2, L"image/png", Concat({Bytes{0}, Ascii("PNG"), Bytes{0, 0}, data}), L"image/png"},
        {2, L"image/gif", Concat({Bytes(6, 0), data}), L""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.major);
        TempDir dir;
        const std::string path = dir.file("a.mp3");
        WriteFile(path, Mp3(c.major, {{c.major == 2 ? "TBP" : "TBPM", NarrowPayload("9")}}));
        // Two records: only the first reaches the tag.
        PutPictures(path, {MakePicture(c.mime, data), MakePicture(L"image/png", Bytes{1})});

        const ParsedTag tag = ParseTag(ReadFile(path));
        EXPECT_EQ(std::vector<Bytes>{c.payload}, tag.Payloads(c.major == 2 ? "PIC" : "APIC"));
        const Pictures got = Reopen(path);
        ASSERT_EQ(1u, got.size());
        EXPECT_EQ(data, DataOf(*got[0]));
        EXPECT_EQ(c.mimeRead, got[0]->Mime());
    }
}

TEST(Pictures, OnlyTheFirstFrameLoadsAndAPutReplacesThemAll) {
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, Mp3(3, {{"APIC", ApicPayload("image/png", 4, "back", Bytes{1, 2})},
                            {"APIC", ApicPayload("image/jpeg", 3, "front", Bytes{3})}}));
    Pictures first = Reopen(path);
    ASSERT_EQ(1u, first.size());
    EXPECT_EQ((Bytes{1, 2}), DataOf(*first[0]));

    PutPictures(path, {MakePicture(L"image/png", Bytes{7})});
    EXPECT_EQ(1u, ParseTag(ReadFile(path)).Payloads("APIC").size());
    PutPictures(path, {});
    EXPECT_TRUE(ParseTag(ReadFile(path)).Payloads("APIC").empty());
    Reopen(path, E_PROPERTY_ABSENT);
}

// A frame the record cannot parse leaves the property absent; a later put
// does not remove it (the host never saw it), so it stays first.
TEST(Pictures, UnreadableFramesAreNotLoadedAndStayInTheTag) {
    const struct {
        int major;
        const char *id;
        Bytes payload;
    } cases[] = {
        {3, "APIC", Concat({Bytes{0}, Ascii("image/png")})}, // MIME type without its zero byte
        {3, "APIC", Concat({Bytes{3}, Ascii("image/png"), Bytes{0, 3, 0, 1}})}, // UTF-8 description
        {2, "PIC", Bytes{}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.id + std::to_string(c.payload.size()));
        TempDir dir;
        const std::string path = dir.file("a.mp3");
        const Bytes original = Mp3(c.major, {{c.id, c.payload}});
        WriteFile(path, original);
        Reopen(path, E_PROPERTY_ABSENT);
        EXPECT_EQ(original, ReadFile(path)) << "reading writes nothing";
        if (c.payload.empty()) continue;
        PutPictures(path, {MakePicture(L"image/png", Bytes{5})});
        const std::vector<Bytes> frames = ParseTag(ReadFile(path)).Payloads(c.id);
        ASSERT_EQ(2u, frames.size());
        EXPECT_EQ(c.payload, frames[0]);
    }
}

#ifdef TAGMILL_HAVE_TAGLIB
void ExpectTagLibPicture(const std::string &path, const Bytes &data, const std::string &mime) {
    TagLib::MPEG::File file(path.c_str());
    ASSERT_TRUE(file.isValid());
    const TagLib::ID3v2::FrameList frames = file.ID3v2Tag()->frameListMap()["APIC"];
    ASSERT_EQ(1u, frames.size());
    const auto *apic = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame *>(frames.front());
    ASSERT_NE(nullptr, apic);
    EXPECT_EQ(mime, apic->mimeType().to8Bit());
    const TagLib::ByteVector picture = apic->picture();
    EXPECT_EQ(data, Bytes(picture.begin(), picture.end()));
}
#endif

TEST(PicturePeers, OtherReadersSeeTheSameBytesAndMimeType) {
    const std::string python = PythonWithMutagen();
    if (python.empty()) GTEST_SKIP() << "python3 with mutagen is not installed";
    const Bytes data = Image();
    std::string hex;
    for (uint8_t b : data) hex += "0123456789abcdef"[b >> 4] + std::string(1, "0123456789abcdef"[b & 15]);
    for (int major : {3, 4}) {
        TempDir dir;
        const std::string path = dir.file("a.mp3");
        WriteFile(path, Mp3(major, {}));
        PutPictures(path, {MakePicture(L"image/png", data)});
        std::string out;
        ASSERT_TRUE(RunPython(python,
                              "import sys\nfrom mutagen.id3 import ID3\n"
                              "for f in ID3(sys.argv[1]).getall('APIC'): print(f.mime, int(f.type), f.data.hex())\n",
                              path, &out))
            << out;
        EXPECT_EQ("image/png 3 " + hex + "\n", out) << major;
#ifdef TAGMILL_HAVE_TAGLIB
        ExpectTagLibPicture(path, data, "image/png");
#endif
    }
}

// Pictures written by other taggers: where the record parses the first
// picture frame, the library loads exactly that picture; otherwise none.
TEST(PicturePeers, CorpusPicturesLoadWhereTheRecordParsesThem) {
    if (!CorpusAvailable()) GTEST_SKIP() << "the peer corpus is not there";
    for (const char *name : {"mediafile/image.mp3", "mediafile/image_unknown_type.mp3", "taglib/itunes10.mp3"}) {
        SCOPED_TRACE(name);
        const Bytes file = ReadFile(CorpusPath(name));
        const ExtractedTag extracted = ExtractTag(file);
        const bool v22 = extracted.major == 2;
        const std::vector<Bytes> frames = FramePayloads(extracted, v22 ? "PIC" : "APIC");
        ASSERT_FALSE(frames.empty());
        Picture expected;
        const long parsed = v22 ? expected.SetPIC(frames[0].data(), static_cast<long>(frames[0].size()))
                                : expected.SetAPIC(frames[0].data(), static_cast<long>(frames[0].size()));
        const Pictures got = Reopen(CorpusPath(name), Succeeded(parsed) ? S_OK : E_PROPERTY_ABSENT);
        if (Failed(parsed)) continue;
        ASSERT_EQ(1u, got.size());
        EXPECT_EQ(DataOf(expected), DataOf(*got[0]));
        EXPECT_EQ(expected.Mime(), got[0]->Mime());
    }
}

} // namespace
