// Record-valued properties (pictures, music ID, objects, user-defined
// strings): every frame a commit leaves in the tag after given puts, what a
// load makes of given frames, the records shared with the caller, and refused
// calls. Peer readers are checked in peer_write_test.cpp.
#include <gtest/gtest.h>

#include <functional>

#include "support/commit_support.h"
#include "support/record_props_support.h"
#include "tag_access/music_id_owners.h"
#include "tagmill/tagmill.h"
#include "tagmill/task_memory.h"

using namespace testsupport;
using namespace tagmill;

namespace {

using Picture = CTagmill::CPicture;
using MusicId = CTagmill::CMusicId;
using Geob = CTagmill::CGeob;
using UserString = CTagmill::CUserDefinedString;
template <class T> using List = std::vector<std::shared_ptr<T>>;

std::shared_ptr<Picture> MakePicture(const std::wstring &mime, const Bytes &data) {
    auto picture = std::make_shared<Picture>();
    picture->SetAll(data.data(), static_cast<long>(data.size()), mime);
    return picture;
}

std::shared_ptr<MusicId> MakeMusicId(const std::string &owner, uint8_t fill) {
    auto id = std::make_shared<MusicId>();
    if (!owner.empty()) id->SetOwnerId(owner);
    const Bytes data(64, fill);
    id->SetData(data.data(), 64);
    return id;
}

// An object whose description and MIME type the commit replaces by its row's.
std::shared_ptr<Geob> MakeGeob(const Bytes &data) {
    auto object = std::make_shared<Geob>();
    object->SetDescription(L"xyz");
    object->SetMimeType("text/plain");
    object->SetData(data.data(), static_cast<long>(data.size()));
    return object;
}

std::string Hex(const Bytes &bytes) {
    std::string hex;
    for (uint8_t b : bytes) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
    return hex;
}

template <class Record> Bytes TaskData(const Record &record) {
    unsigned char *block = nullptr;
    long size = 0;
    EXPECT_EQ(S_OK, record.GetData(&block, size));
    const Bytes data(block, block + size);
    CoTaskMemFree(block);
    return data;
}

Bytes PictureData(const Picture &picture) {
    Bytes data(static_cast<size_t>(picture.Size()));
    unsigned char *out = data.data();
    long size = picture.Size();
    EXPECT_EQ(S_OK, picture.GetData(&out, size));
    return data;
}

// What the open content holds for a record property: the result name when
// it fails, else the first record: a picture's MIME type and data, a music
// ID's or object's data in hex, a user-defined string's value (a comment's
// led by its language).
std::string Loaded(CTagmill &t, long id) {
    List<Picture> pictures;
    List<MusicId> ids;
    List<Geob> objects;
    List<UserString> strings;
    std::wstring value;
    unsigned char language[3];
    switch (id) {
    case 4640:
        if (long hr = t.GetBinary(id, pictures)) return ResultName(hr);
        return Narrow(pictures.at(0)->Mime()) + " " + Hex(PictureData(*pictures[0]));
    case 5891:
        if (long hr = t.GetMusicId(ids)) return ResultName(hr);
        return Hex(TaskData(*ids.at(0)));
    case 4717:
    case 9233:
        if (long hr = t.GetUserDefinedString(id, strings)) return ResultName(hr);
        strings.at(0)->GetData(value);
        if (id == 4717) return Narrow(value);
        strings[0]->GetLanguage(language);
        return std::string(language, language + 3) + " " + Narrow(value);
    default:
        if (long hr = t.GetGeob(id, objects)) return ResultName(hr);
        return Hex(TaskData(*objects.at(0)));
    }
}

struct Commit {
    const char *name;
    int major;
    FrameList before;
    std::function<void(CTagmill &)> puts;
    FrameList after; // every frame of the committed tag, in order
};

std::vector<Commit> Commits() {
    const Bytes data{0x89, 0x00, 0xFF};
    const auto pictures = [data](const std::wstring &mime) {
        return [=](CTagmill &t) {
            ASSERT_EQ(S_OK, t.PutBinary(4640, {MakePicture(mime, data), MakePicture(L"image/png", {1})}));
        };
    };
    const auto musicIds = [](const std::string &owner) {
        return [=](CTagmill &t) {
            ASSERT_EQ(S_OK, t.PutMusicId({MakeMusicId(owner, 0x11), MakeMusicId(musicid::kOwner, 0x22)}));
        };
    };
    // Every commit ends the tag with a title frame, empty without a title.
    const std::pair<std::string, Bytes> title{"TIT2", UnicodePayload(L"")}, title22{"TT2", UnicodePayload(L"")};
    const Bytes png = ApicPayload("image/png", 3, "", data);
    const Bytes utf8Apic = Concat({Bytes{3}, Ascii("image/png"), Bytes{0, 3, 0, 1}});
    const Bytes other = UfidPayload("other", 64);
    const auto ufid = [](const std::string &owner) { return UfidPayload(owner, 64, 0x11); };

    // A tag with several frames of each kind; objects and user-defined
    // strings are rewritten from the cache at every commit.
    const FrameList busy = {{"GEOB", GeobPayload("binary", "Other", {0})},
                            {"GEOB", GeobPayload("binary", "USR_MTDID", {2})},
                            {"GEOB", GeobPayload("", "SfMarkers", {1})},
                            {"TXXX", TxxxPayload("foo", "bar")},
                            {"TXXX", TxxxPayload("GN_ExtData", "ext")},
                            {"WXXX", TxxxPayload("", "http://a")},
                            {"COMM", CommentUtf16("eng", L"iTunSMPB", L" 0210")},
                            {"COMM", CommentUtf16("eng", L"iTunNORM", L" 01F4")},
                            {"UFID", UfidPayload(musicid::kOwner, 64)},
                            {"UFID", other},
                            {"TIT2", UnicodePayload(L"t")}};
    const auto &mtdid = busy[1], &markers = busy[2], &norm = busy[7], &busyTitle = busy[10];

    return {
        // Pictures: only the first record reaches the tag.
        {"APIC", 3, {}, pictures(L"image/png"), {{"APIC", png}, title}},
        {"PIC PNG", 2, {}, pictures(L"image/png"), {{"PIC", Concat({{0}, Ascii("PNG"), {0, 0}, data})}, title22}},
        {"PIC other", 2, {}, pictures(L"image/gif"), {{"PIC", Concat({Bytes(6, 0), data})}, title22}},
        {"a put replaces every picture", 3,
         {{"APIC", ApicPayload("image/png", 4, "back", {1, 2})}, {"APIC", ApicPayload("image/jpeg", 3, "front", {3})}},
         pictures(L"image/png"), {{"APIC", png}, title}},
        {"an empty put removes them", 3, {{"APIC", png}}, [](CTagmill &t) { ASSERT_EQ(S_OK, t.PutBinary(4640, {})); },
         {title}},
        // A picture that did not load is not the property's, so it stays first.
        {"UTF-8 description", 3, {{"APIC", utf8Apic}}, pictures(L"image/png"),
         {{"APIC", utf8Apic}, {"APIC", png}, title}},

        // Music IDs: one frame from the first record, the default owner when
        // it has none; every old frame goes, whatever its owner.
        {"music ID", 3, {{"UFID", other}}, musicIds(""), {{"UFID", ufid(musicid::kOwner)}, title}},
        {"owner without scheme", 4, {{"UFID", other}}, musicIds(musicid::kOwnerWithoutScheme),
         {{"UFID", ufid(musicid::kOwnerWithoutScheme)}, title}},

        // Objects: under their row's description and MIME type, SfMarkers
        // first and then by identifier, whatever the order of the puts.
        {"every object", 3, {},
         [](CTagmill &t) {
             for (long id : {8451L, 5895L, 5894L, 4644L, 8448L})
                 ASSERT_EQ(S_OK, t.PutGeob(id, {MakeGeob({uint8_t(id), 0, 0xFF})}));
         },
         {{"GEOB", GeobPayload("", "SfMarkers", {0x00, 0, 0xFF})},
          {"GEOB", GeobPayload("image/jpeg", "ImageLyrics", {0x24, 0, 0xFF})},
          {"GEOB", GeobPayload("binary", "USR_MTDID", {0x06, 0, 0xFF})},
          {"GEOB", GeobPayload("application/SMFMF", "USR_SMFMF", {0x07, 0, 0xFF})},
          {"GEOB", GeobPayload("", "IcdRInfo", {0x03, 0, 0xFF})},
          title}},

        // Puts of other kinds still rewrite the loaded objects and strings:
        // unknown objects, other user texts and user URLs go; GN_ExtData is
        // rewritten single-byte and the iTunSMPB comment moves to the end.
        {"busy tag, other put", 3, busy, [](CTagmill &t) { ASSERT_EQ(S_OK, t.PutString(4624, {L"a"})); },
         {norm, busy[8], busy[9], {"TPE1", UnicodePayload(L"a")}, markers, mtdid,
          {"TXXX", Concat({TxxxPayload("GN_ExtData", "ext"), {0}})}, busy[6], busyTitle}},
        {"busy tag, deletions and a new comment", 3, busy,
         [](CTagmill &t) {
             auto comment = std::make_shared<UserString>();
             comment->SetData(L"new");
             comment->SetLanguage(reinterpret_cast<const unsigned char *>("fra"));
             ASSERT_EQ(S_OK, t.PutUserDefinedString(9233, {comment}));
             ASSERT_EQ(S_OK, t.PutGeob(8448, {}));
             ASSERT_EQ(S_OK, t.PutUserDefinedString(4717, {}));
             ASSERT_EQ(S_OK, t.PutMusicId({}));
         },
         {norm, mtdid, {"COMM", CommentUtf16("fra", L"iTunSMPB", L"new")}, busyTitle}},
        {"busy tag, comment deleted", 3, busy,
         [](CTagmill &t) { ASSERT_EQ(S_OK, t.PutUserDefinedString(9233, {})); },
         {norm, busy[8], busy[9], markers, mtdid, {"TXXX", Concat({TxxxPayload("GN_ExtData", "ext"), {0}})},
          busyTitle}},
    };
}

TEST(RecordProps, CommitsLeaveExactlyTheseFrames) {
    for (const Commit &c : Commits()) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.file("a.mp3");
        WriteFile(path, Mp3(c.major, c.before));
        {
            CTagmill t;
            ASSERT_EQ(S_OK, t.Open(Widen(path), 3));
            c.puts(t);
            ASSERT_EQ(S_OK, t.Close());
        }
        FrameList after;
        for (const ParsedFrame &f : ParseTag(ReadFile(path)).frames) after.push_back({f.id, f.data});
        EXPECT_EQ(c.after, after);
    }
}

TEST(RecordProps, LoadsReadTheFirstMatchingFrame) {
    const Bytes mtdid = GeobPayload("binary", "USR_MTDID", {1});
    const Bytes noMime = Concat({Bytes{0}, Ascii("binary")});
    const struct {
        int major;
        FrameList frames;
        long id;
        std::string loaded;
    } cases[] = {
        {3, {{"APIC", ApicPayload("image/png", 4, "back", {1, 2})}, {"APIC", ApicPayload("image/gif", 3, "", {3})}},
         4640, "image/png 0102"},
        {2, {{"PIC", Concat({{0}, Ascii("JPG"), {3, 0, 7}})}}, 4640, "image/jpeg 07"},
        {3, {{"APIC", Concat({Bytes{3}, Ascii("image/png"), Bytes{0, 3, 0, 1}})}}, 4640, "E_PROPERTY_ABSENT"},
        {2, {{"PIC", {}}}, 4640, "E_PROPERTY_ABSENT"},
        // Only the first unique file identifier counts, and only with 64 bytes
        // under one of the provider's owners.
        {3, {{"UFID", UfidPayload(musicid::kOwnerWithoutScheme, 64, 7)}}, 5891, Hex(Bytes(64, 7))},
        {3, {{"UFID", UfidPayload("http://example.org", 64)}}, 5891, "E_PROPERTY_ABSENT"},
        {3, {{"UFID", UfidPayload("", 64)}, {"UFID", UfidPayload(musicid::kOwner, 64)}}, 5891, "E_PROPERTY_ABSENT"},
        // Objects and user-defined strings: the first frame with the exact
        // description; a frame that does not parse before it ends the search.
        {3, {{"GEOB", GeobPayload("binary", "Other", {9})}, {"GEOB", mtdid}}, 5894, "01"},
        {3, {{"GEOB", noMime}, {"GEOB", mtdid}}, 5894, "E_PROPERTY_ABSENT"},
        {3, {{"GEOB", mtdid}, {"GEOB", noMime}}, 5894, "01"},
        {3, {{"TXXX", TxxxPayload("gn_extdata", "x")}, {"TXXX", TxxxPayload("GN_ExtData", "y")}}, 4717, "y"},
        {2, {{"COM", CommentUtf16("eng", L"iTunSMPB", L" 0210")}}, 9233, "eng  0210"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.frames[0].first + " " + std::to_string(c.id) + " " + c.loaded);
        CTagmill t;
        ASSERT_EQ(S_OK, OpenBytes(t, Mp3(c.major, c.frames)));
        EXPECT_EQ(c.loaded, Loaded(t, c.id));
    }

    // Each object property finds the frame with its own description.
    const std::pair<long, const char *> objects[] = {
        {8448, "SfMarkers"}, {4644, "ImageLyrics"}, {5894, "USR_MTDID"}, {5895, "USR_SMFMF"}, {8451, "IcdRInfo"}};
    FrameList frames;
    for (const auto &[id, description] : objects)
        frames.insert(frames.begin(), {"GEOB", GeobPayload("", description, {uint8_t(id)})});
    CTagmill t;
    ASSERT_EQ(S_OK, OpenBytes(t, Mp3(3, frames)));
    for (const auto &[id, description] : objects) EXPECT_EQ(Hex({uint8_t(id)}), Loaded(t, id)) << description;
}

// Record frames that mutagen writes in ID3v2.3 and ID3v2.4 tags, UTF-16
// objects among them.
TEST(RecordProps, FramesWrittenByMutagenLoad) {
    if (!HaveMutagen()) GTEST_SKIP() << "python3 with mutagen is not installed";
    const std::string script = std::string(R"(import sys
from mutagen.id3 import ID3, TXXX, COMM, UFID, GEOB
t = ID3()
t.add(GEOB(encoding=0, mime='binary', filename='', desc='Other', data=b'o'))
t.add(GEOB(encoding=1, mime='', filename='', desc='SfMarkers', data=b'\x00\x01\xff'))
t.add(GEOB(encoding=0, mime='binary', filename='', desc='USR_MTDID', data=b'mtd'))
t.add(TXXX(encoding=0, desc='GN_ExtData', text=['ext']))
t.add(COMM(encoding=1, lang='eng', desc='iTunNORM', text=['norm']))
t.add(COMM(encoding=1, lang='fra', desc='iTunSMPB', text=[' 00000000 \u00e9']))
t.add(UFID(owner=')") + musicid::kOwnerWithoutScheme + R"(', data=b'\x07' * 64))
t.save(sys.argv[1], v2_version=int(sys.argv[2]))
)";
    // The object reader looks for the UTF-16 terminator at every byte, so the
    // zero high byte of the last "s" and the first terminator byte end the
    // description one byte early: the SfMarkers data gains a leading zero.
    const std::pair<long, std::string> loaded[] = {{8448, "000001ff"},
                                                   {5894, Hex(Ascii("mtd"))},
                                                   {5891, Hex(Bytes(64, 7))},
                                                   {4717, "ext"},
                                                   {9233, "fra  00000000 \u00e9"}};
    for (int version : {3, 4}) {
        TempDir dir;
        const std::string path = dir.file("a.mp3");
        WriteFile(path, FakeAudio(2));
        std::string out;
        ASSERT_TRUE(RunPython(script, "'" + path + "' " + std::to_string(version), &out));
        CTagmill t;
        ASSERT_EQ(S_OK, t.Open(Widen(path), 1));
        for (const auto &[id, value] : loaded) EXPECT_EQ(value, Loaded(t, id)) << version << " " << id;
    }
}

// The lists that cross the interface share their records with the cache:
// every record put stays there until the content is opened again, and the
// writers fill in the caller's records.
TEST(RecordProps, RecordsAreSharedWithTheCaller) {
    CTagmill t;
    ASSERT_EQ(S_OK, t.OpenFromMemory(nullptr, 0, 3));
    const List<MusicId> ids{MakeMusicId("", 1), MakeMusicId("", 2)};
    const List<Picture> pictures{MakePicture(L"image/png", {1, 2}), MakePicture(L"image/gif", {3})};
    const List<Geob> objects{MakeGeob({1})};
    ASSERT_EQ(S_OK, t.PutMusicId(ids));
    ASSERT_EQ(S_OK, t.PutBinary(4640, pictures));
    ASSERT_EQ(S_OK, t.PutGeob(5895, objects));
    ASSERT_EQ(S_OK, t.UpdateOnMemory());
    List<MusicId> gotIds;
    List<Picture> gotPictures;
    ASSERT_EQ(S_OK, t.GetMusicId(gotIds));
    ASSERT_EQ(S_OK, t.GetBinary(4640, gotPictures));
    EXPECT_EQ(ids, gotIds);
    EXPECT_EQ(pictures, gotPictures);
    pictures[0]->SetData(Bytes{3}.data(), 1);
    EXPECT_EQ("image/png 03", Loaded(t, 4640));

    std::string owner, mime;
    std::wstring description;
    ids[0]->GetOwnerId(owner);
    objects[0]->GetMimeType(mime);
    objects[0]->GetDescription(description);
    EXPECT_EQ(musicid::kOwner, owner);
    EXPECT_EQ("application/SMFMF", mime);
    EXPECT_EQ(L"USR_SMFMF", description);
}

TEST(RecordProps, MembersRefuseClosedObjectsAndIdentifiersOfOtherKinds) {
    const List<Geob> objects{MakeGeob({1})};
    const List<UserString> strings{std::make_shared<UserString>()};
    List<MusicId> ids;
    List<Geob> gotObjects;
    List<UserString> gotStrings;
    List<Picture> pictures;
    CTagmill t;
    for (long hr : {t.GetMusicId(ids), t.PutMusicId(ids), t.GetGeob(5894, gotObjects), t.PutGeob(5894, objects),
                    t.GetUserDefinedString(4717, gotStrings), t.PutUserDefinedString(4717, strings),
                    t.GetBinary(4640, pictures), t.PutBinary(4640, pictures)})
        EXPECT_EQ(E_UNEXPECTED, hr);

    // Identifiers of other kinds are refused before any edit begins.
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    const Bytes original = Mp3(3, {{"TIT2", UnicodePayload(L"t")}});
    WriteFile(path, original);
    ASSERT_EQ(S_OK, t.Open(Widen(path), 3));
    for (long id : {4615L, 4717L, 5891L, 8960L, 1L}) EXPECT_EQ(E_PROPERTY_UNSUPPORTED, t.PutGeob(id, objects)) << id;
    for (long id : {4615L, 5894L, 8960L, 8966L, 1L})
        EXPECT_EQ(E_PROPERTY_UNSUPPORTED, t.PutUserDefinedString(id, strings)) << id;
    EXPECT_EQ(E_PROPERTY_ABSENT, t.GetGeob(1, gotObjects));
    EXPECT_EQ(E_PROPERTY_ABSENT, t.GetUserDefinedString(8960, gotStrings));
    EXPECT_EQ(E_PROPERTY_UNSUPPORTED, t.GetBinary(4615, pictures));
    EXPECT_EQ(E_PROPERTY_UNSUPPORTED, t.PutBinary(4615, pictures));
    ASSERT_EQ(S_OK, t.Close());
    EXPECT_EQ(original, ReadFile(path));
}

} // namespace
