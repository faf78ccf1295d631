// Record-valued properties (pictures, music ID, objects, user-defined
// strings): every frame a commit leaves in the tag after given puts (which
// shows what the load made of the frames before), the music ID's load, and
// the records shared with the caller. Peer readers are checked in
// peer_write_test.cpp; picture loads by the corpus test.
#include "support/frame_extract.h"
#include "support/record_props_support.h"
#include "tag_access/music_id_owners.h"

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
    id->SetData(Bytes(64, fill).data(), 64);
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

// after: every frame of the committed tag, in order
struct Commit { const char *name; int major; FrameList before; std::function<void(CTagmill &)> puts; FrameList after; };

std::vector<Commit> Commits() {
    const Bytes data{0x89, 0x00, 0xFF};
    const auto pictures = [data](const std::wstring &mime) {
        return [=](CTagmill &t) {
            ASSERT_EQ(S_OK, t.PutBinary(4640, {MakePicture(mime, data), MakePicture(L"image/png", {1})}));
        };
    };
    // Every commit ends the tag with a title frame, empty without a title.
    const std::pair<std::string, Bytes> title{"TIT2", Utf16Text(L"", true)}, title22{"TT2", Utf16Text(L"", true)};
    const Bytes png = ApicPayload("image/png", 3, "", data);
    const Bytes utf8Apic = Concat({Bytes{3}, Ascii("image/png"), Bytes{0, 3, 0, 1}});
    const Bytes other = UfidPayload("other", 64);

    // A tag with several frames of each kind; objects and user-defined
    // strings are rewritten from the cache at every commit.
    const FrameList busy = {{"GEOB", GeobPayload("binary", "Other", {0})},
                            {"GEOB", GeobPayload("binary", "USR_MTDID", {2})},
                            {"GEOB", GeobPayload("", "SfMarkers", {1})},
                            {"TXXX", TxxxPayload("gn_extdata", "bar")},
                            {"TXXX", TxxxPayload("GN_ExtData", "ext")},
                            {"WXXX", TxxxPayload("", "http://a")},
                            {"COMM", CommentUtf16("eng", L"iTunSMPB", L" 0210")},
                            {"COMM", CommentUtf16("eng", L"iTunNORM", L" 01F4")},
                            {"UFID", UfidPayload(musicid::kOwner, 64)},
                            {"UFID", other},
                            {"TIT2", Utf16Text(L"t", true)}};
    const auto &mtdid = busy[1], &markers = busy[2], &norm = busy[7], &busyTitle = busy[10];

    return {
        // Pictures: a put replaces every picture frame, and only its first
        // record reaches the tag.
        {"APIC", 3,
         {{"APIC", ApicPayload("image/png", 4, "back", {1, 2})}, {"APIC", ApicPayload("image/jpeg", 3, "front", {3})}},
         pictures(L"image/png"), {{"APIC", png}, title}},
        {"PIC PNG", 2, {}, pictures(L"image/png"), {{"PIC", Concat({{0}, Ascii("PNG"), {0, 0}, data})}, title22}},
        {"PIC other", 2, {}, pictures(L"image/gif"), {{"PIC", Concat({Bytes(6, 0), data})}, title22}},
        {"an empty put removes them", 3, {{"APIC", png}}, [](CTagmill &t) { ASSERT_EQ(S_OK, t.PutBinary(4640, {})); },
         {title}},
        // A picture that did not load is not the property's, so it stays first.
        {"UTF-8 description", 3, {{"APIC", utf8Apic}}, pictures(L"image/png"),
         {{"APIC", utf8Apic}, {"APIC", png}, title}},

        // Music IDs: one frame from the first record, the default owner when
        // it has none; every old frame goes, whatever its owner.
        {"music ID", 4, {{"UFID", other}},
         [](CTagmill &t) { ASSERT_EQ(S_OK, t.PutMusicId({MakeMusicId("", 0x11), MakeMusicId("other", 0x22)})); },
         {{"UFID", UfidPayload(musicid::kOwner, 64, 0x11)}, title}},

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

        // Puts of other kinds still rewrite the loaded objects and strings
        // (each the first frame with the exact description): unknown objects,
        // other user texts and user URLs go; GN_ExtData is rewritten
        // single-byte and the iTunSMPB comment moves to the end.
        {"busy tag, other put", 3, busy, [](CTagmill &t) { ASSERT_EQ(S_OK, t.PutString(4624, {L"a"})); },
         {norm, busy[8], busy[9], {"TPE1", Utf16Text(L"a", true)}, markers, mtdid,
          {"TXXX", Concat({TxxxPayload("GN_ExtData", "ext"), {0}})}, busy[6], busyTitle}},
        {"busy tag, deletions", 3, busy, [](CTagmill &t) {
             ASSERT_EQ(S_OK, t.PutUserDefinedString(9233, {}));
             ASSERT_EQ(S_OK, t.PutGeob(8448, {}));
             ASSERT_EQ(S_OK, t.PutUserDefinedString(4717, {}));
             ASSERT_EQ(S_OK, t.PutMusicId({}));
         },
         {norm, mtdid, busyTitle}},
        // The stored comment goes with the put; the commit's removal of stored
        // iTunSMPB comments must not take the comment put in its place.
        {"iTunSMPB put as a string", 3, {busy[6]}, [](CTagmill &t) { ASSERT_EQ(S_OK, t.PutString(9233, {L"new"})); },
         {{"COMM", Utf16Text(L"new", true)}, busy[6], title}},
        // An object that does not parse ends the search before the matching one.
        {"malformed object first", 3, {{"GEOB", Concat({Bytes{0}, Ascii("binary")})}, mtdid},
         [](CTagmill &t) { ASSERT_EQ(S_OK, t.PutString(4624, {L"a"})); }, {{"TPE1", Utf16Text(L"a", true)}, title}},
        // ID3v2.2: the comment keeps its language.
        {"COM", 2, {{"COM", CommentUtf16("fra", L"iTunSMPB", L"x")}},
         [](CTagmill &t) { ASSERT_EQ(S_OK, t.PutString(4624, {L"a"})); },
         {{"TP1", Utf16Text(L"a", true)}, {"COM", CommentUtf16("fra", L"iTunSMPB", L"x")}, title22}},
    };
}

TEST(RecordProps, CommitsLeaveExactlyTheseFrames) {
    for (const Commit &c : Commits()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.after, ParseTag(CommitFile(Mp3(c.major, c.before), c.puts, 3)).List());
    }
}

// The music ID's load, which no commit shows: only the first unique file
// identifier counts, and only with 64 bytes under one of the provider's
// owners.
TEST(RecordProps, MusicIdLoadsOnlyFromTheFirstFrameOfTheProvider) {
    const std::pair<FrameList, long> cases[] = {
        {{{"UFID", UfidPayload(musicid::kOwnerWithoutScheme, 64)}}, S_OK},
        {{{"UFID", UfidPayload("http://example.org", 64)}}, E_PROPERTY_ABSENT},
        {{{"UFID", UfidPayload(musicid::kOwner, 63)}}, E_PROPERTY_ABSENT},
        {{{"UFID", UfidPayload("", 64)}, {"UFID", UfidPayload(musicid::kOwner, 64)}}, E_PROPERTY_ABSENT},
    };
    for (const auto &[frames, hr] : cases) {
        CTagmill t;
        List<MusicId> ids;
        ASSERT_EQ(S_OK, OpenBytes(t, Mp3(3, frames)));
        EXPECT_EQ(hr, t.GetMusicId(ids)) << Hex(frames[0].second);
    }
}

// The lists that cross the interface share their records with the cache:
// every record put stays there until the content is opened again, and the
// writers fill in the caller's records.
TEST(RecordProps, RecordsAreSharedWithTheCaller) {
    CTagmill t;
    ASSERT_EQ(S_OK, t.OpenFromMemory(nullptr, 0, 3));
    const List<MusicId> ids{MakeMusicId("", 1), MakeMusicId("", 2)};
    const List<Geob> objects{MakeGeob({1})};
    ASSERT_EQ(S_OK, t.PutMusicId(ids));
    ASSERT_EQ(S_OK, t.PutGeob(5895, objects));
    ASSERT_EQ(S_OK, t.UpdateOnMemory());
    List<MusicId> got;
    ASSERT_EQ(S_OK, t.GetMusicId(got));
    EXPECT_EQ(ids, got);
    std::string owner, mime;
    ids[0]->GetOwnerId(owner);
    objects[0]->GetMimeType(mime);
    EXPECT_EQ(musicid::kOwner, owner);
    EXPECT_EQ("application/SMFMF", mime);
}

} // namespace
