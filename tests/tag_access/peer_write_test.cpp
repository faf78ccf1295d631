// Tags written by the library (strings, pictures, record frames), read by
// other tag readers: mutagen (peers/dump_id3_frames.py) and TagLib (linked in
// when the system has it). Each check skips with a message when its reader is
// missing.
#include "support/record_props_support.h"
#include "tag_access/music_id_owners.h"

#ifdef TAGMILL_HAVE_TAGLIB
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/generalencapsulatedobjectframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/uniquefileidentifierframe.h>
#endif

using namespace testsupport;
using namespace tagmill;

namespace {

// The lines sorted, each ended by a newline.
std::string SortedLines(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string &line : lines) out += line + "\n";
    return out;
}

#ifdef TAGMILL_HAVE_TAGLIB
// The same lines as dump_id3_frames.py prints, as TagLib reads the tag.
std::string TagLibDump(const std::string &path) {
    using namespace TagLib::ID3v2;
    TagLib::MPEG::File file(path.c_str());
    if (!file.isValid() || !file.hasID3v2Tag()) return "no tag";
    const auto text = [](const TagLib::String &s) { return s.to8Bit(true); };
    const auto hex = [](const TagLib::ByteVector &b) { return std::string(b.toHex().data(), b.size() * 2); };
    std::vector<std::string> lines;
    for (const Frame *f : file.ID3v2Tag()->frameList()) {
        std::string line(f->frameID().data(), 4);
        if (auto *p = dynamic_cast<const AttachedPictureFrame *>(f))
            line += " " + text(p->mimeType()) + " " + std::to_string(p->type()) + " " + hex(p->picture());
        else if (auto *g = dynamic_cast<const GeneralEncapsulatedObjectFrame *>(f))
            line += " " + text(g->mimeType()) + " " + text(g->description()) + " " + hex(g->object());
        else if (auto *u = dynamic_cast<const UniqueFileIdentifierFrame *>(f))
            line += " " + text(u->owner()) + " " + hex(u->identifier());
        else if (auto *c = dynamic_cast<const CommentsFrame *>(f))
            line += " " + std::string(c->language().data(), 3) + " " + text(c->description()) + " " + text(c->text());
        else if (auto *x = dynamic_cast<const UserTextIdentificationFrame *>(f))
            line += " " + text(x->description()) + " " + text(x->fieldList().back());
        else
            line += " " + text(f->toString());
        lines.push_back(line);
    }
    return SortedLines(lines);
}
#endif

// Puts a value of every kind into a tag of the given version and returns
// every frame a reader should then find, as the dumps print them.
std::vector<std::string> PutEveryKind(CTagmill &t, int major) {
    const std::wstring title = L"T\u00eftle \u03a9\u03bc\u03ad\u03b3\u03b1";
    EXPECT_EQ(S_OK, t.PutString(4615, {title}));
    EXPECT_EQ(S_OK, t.PutString(4616, {L"Synthpop"}));
    EXPECT_EQ(S_OK, t.PutString(4357, {L"3/12"}));
    // Every byte value, so that zero bytes and FF bytes sit inside the picture.
    Bytes image(300);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7);
    auto picture = std::make_shared<CTagmill::CPicture>();
    picture->SetAll(image.data(), static_cast<long>(image.size()), L"image/jpeg");
    EXPECT_EQ(S_OK, t.PutBinary(4640, {picture}));
    auto id = std::make_shared<CTagmill::CMusicId>();
    id->SetData(Bytes(64, 7).data(), 64);
    EXPECT_EQ(S_OK, t.PutMusicId({id}));
    auto object = std::make_shared<CTagmill::CGeob>();
    object->SetData(Ascii("mtd").data(), 3);
    EXPECT_EQ(S_OK, t.PutGeob(5894, {object}));
    using UserString = CTagmill::CUserDefinedString;
    auto ext = std::make_shared<UserString>(), smpb = std::make_shared<UserString>();
    ext->SetData(L"ext \u00e9");
    EXPECT_EQ(S_OK, t.PutUserDefinedString(4717, {ext}));
    smpb->SetData(L" 00000000 \u4e2d");
    smpb->SetLanguage(reinterpret_cast<const unsigned char *>("fra"));
    EXPECT_EQ(S_OK, t.PutUserDefinedString(9233, {smpb}));
    // The picture type is 3 (front cover), but 0 in an ID3v2.2 tag.
    return {"TIT2 " + Narrow(title), "TCON Synthpop", "TRCK 3/12",
            "APIC image/jpeg " + std::string(major == 2 ? "0 " : "3 ") + Hex(image),
            "UFID " + std::string(musicid::kOwner) + " " + Hex(Bytes(64, 7)),
            "GEOB binary USR_MTDID " + Hex(Ascii("mtd")),
            "TXXX GN_ExtData ext \u00e9", "COMM fra iTunSMPB  00000000 \u4e2d"};
}

// Writes a value of every kind into an untagged file and into tags of
// versions 2.2 and 2.4, and compares what `dump` prints for each.
void CheckWrittenFiles(const std::function<std::string(const std::string &)> &dump) {
    const std::pair<int, Bytes> originals[] = {{3, FakeAudio(4)},
                                               {2, Mp3(2, {{"TT2", Latin1Text("old", true)}})},
                                               {4, Mp3(4, {{"TIT2", Latin1Text("old", true)}})}};
    for (const auto &[major, original] : originals) {
        SCOPED_TRACE(major);
        TempDir dir;
        const std::string path = dir.file("a.mp3");
        WriteFile(path, original);
        CTagmill t;
        ASSERT_EQ(S_OK, t.Open(Widen(path), 3));
        const std::string expected = SortedLines(PutEveryKind(t, major));
        ASSERT_EQ(S_OK, t.Close());
        EXPECT_EQ(expected, dump(path));
    }
}

TEST(PeerRead, MutagenReadsWhatWasWritten) {
    if (!HaveMutagen()) GTEST_SKIP() << "python3 with mutagen is not installed";
    CheckWrittenFiles([](const std::string &path) {
        std::string out;
        EXPECT_TRUE(RunPeerScript("dump_id3_frames.py", "'" + path + "'", &out));
        return out;
    });
}

TEST(PeerRead, TagLibReadsWhatWasWritten) {
#ifndef TAGMILL_HAVE_TAGLIB
    GTEST_SKIP() << "TagLib was not found by pkg-config when the tests were configured";
#else
    CheckWrittenFiles(TagLibDump);
#endif
}

} // namespace
