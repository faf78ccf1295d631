// Music ID, objects and user-defined strings: round trips of each kind, what
// a commit keeps and drops frame by frame, malformed frames, refused
// identifiers, and frames written by mutagen.
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

using MusicId = CTagmill::CMusicId;
using Geob = CTagmill::CGeob;
using UserString = CTagmill::CUserDefinedString;
template <class T> using List = std::vector<std::shared_ptr<T>>;

std::shared_ptr<MusicId> MakeMusicId(const std::string &owner, uint8_t fill) {
    auto id = std::make_shared<MusicId>();
    if (!owner.empty()) {
        EXPECT_EQ(S_OK, id->SetOwnerId(owner));
    }
    const Bytes data(64, fill);
    EXPECT_EQ(S_OK, id->SetData(data.data(), 64));
    return id;
}

std::shared_ptr<Geob> MakeGeob(const std::wstring &description, const std::string &mime, const Bytes &data) {
    auto object = std::make_shared<Geob>();
    object->SetDescription(description);
    object->SetMimeType(mime);
    EXPECT_EQ(S_OK, object->SetData(data.data(), static_cast<long>(data.size())));
    return object;
}

std::shared_ptr<UserString> MakeString(const std::wstring &value, const char *language = "eng") {
    auto record = std::make_shared<UserString>();
    record->SetDescription(L"ignored");
    record->SetData(value);
    record->SetLanguage(reinterpret_cast<const unsigned char *>(language));
    return record;
}

template <class Record> Bytes DataOf(const Record &record) {
    unsigned char *block = nullptr;
    long size = 0;
    EXPECT_EQ(S_OK, record.GetData(&block, size));
    Bytes data(block, block + size);
    CoTaskMemFree(block);
    return data;
}

std::wstring ValueOf(const UserString &record) {
    std::wstring value;
    record.GetData(value);
    return value;
}

std::vector<std::string> FrameIds(const ParsedTag &tag) {
    std::vector<std::string> ids;
    for (const ParsedFrame &f : tag.frames) ids.push_back(f.id);
    return ids;
}

TEST(MusicIds, PutWritesOneFrameAndOnlyTheProvidersLoad) {
    const struct {
        int major;
        std::string owner, written;
        long reread;
    } cases[] = {
        {3, "", musicid::kOwner, S_OK},
        {4, musicid::kOwnerWithoutScheme, musicid::kOwnerWithoutScheme, S_OK},
        {2, "", musicid::kOwner, S_OK},
        {3, "http://example.org", "http://example.org", E_PROPERTY_ABSENT},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.owner);
        TempDir dir;
        const std::string path = dir.file("a.mp3");
        const char *frame = c.major == 2 ? "UFI" : "UFID";
        WriteFile(path, Mp3(c.major, {{frame, UfidPayload("other", 64)}}));
        const List<MusicId> put = {MakeMusicId(c.owner, 0x11), MakeMusicId(musicid::kOwner, 0x22)};
        {
            CTagmill t;
            ASSERT_EQ(S_OK, t.Open(Widen(path), 3));
            ASSERT_EQ(S_OK, t.PutMusicId(put));
            List<MusicId> got;
            ASSERT_EQ(S_OK, t.GetMusicId(got));
            EXPECT_EQ(put, got);
            ASSERT_EQ(S_OK, t.Close());
        }
        std::string owner;
        put[0]->GetOwnerId(owner);
        EXPECT_EQ(c.written, owner) << "the caller's record gets the default owner";
        EXPECT_EQ(std::vector<Bytes>{UfidPayload(c.written, 64, 0x11)}, ParseTag(ReadFile(path)).Payloads(frame));
        CTagmill t;
        ASSERT_EQ(S_OK, t.Open(Widen(path), 1));
        List<MusicId> got;
        EXPECT_EQ(c.reread, t.GetMusicId(got));
        if (c.reread == S_OK) {
            EXPECT_EQ(Bytes(64, 0x11), DataOf(*got.at(0)));
        }
    }
}

TEST(Objects, EveryRowIsWrittenUnderItsDescriptionAndMimeTypeMarkersFirst) {
    const struct {
        long id;
        const char *description, *mime;
    } rows[] = {{8448, "SfMarkers", ""},
                {4644, "ImageLyrics", "image/jpeg"},
                {5894, "USR_MTDID", "binary"},
                {5895, "USR_SMFMF", "application/SMFMF"},
                {8451, "IcdRInfo", ""}};
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, Mp3(3, {}));
    std::vector<std::shared_ptr<Geob>> put;
    {
        CTagmill t;
        ASSERT_EQ(S_OK, t.Open(Widen(path), 3));
        // Put in descending order: the commit orders them itself.
        for (auto row = std::rbegin(rows); row != std::rend(rows); ++row) {
            put.insert(put.begin(), MakeGeob(L"xyz", "text/plain", Bytes{uint8_t(row->id), 0, 0xFF}));
            ASSERT_EQ(S_OK, t.PutGeob(row->id, {put.front()}));
        }
        ASSERT_EQ(S_OK, t.Close());
    }
    std::vector<Bytes> expected;
    for (size_t i = 0; i < std::size(rows); ++i) {
        expected.push_back(GeobPayload(rows[i].mime, rows[i].description, Bytes{uint8_t(rows[i].id), 0, 0xFF}));
        std::string mime;
        put[i]->GetMimeType(mime);
        EXPECT_EQ(rows[i].mime, mime) << "the caller's record carries the row's values";
    }
    EXPECT_EQ(expected, ParseTag(ReadFile(path)).Payloads("GEOB"));

    CTagmill t;
    ASSERT_EQ(S_OK, t.Open(Widen(path), 1));
    for (const auto &row : rows) {
        List<Geob> got;
        ASSERT_EQ(S_OK, t.GetGeob(row.id, got)) << row.id;
        EXPECT_EQ((Bytes{uint8_t(row.id), 0, 0xFF}), DataOf(*got.at(0)));
    }
}

// A file holding several frames of each kind: a commit rewrites objects and
// user-defined strings from the cache and leaves every other frame alone.
TEST(RecordProps, CommitKeepsAndDropsFramesAsItShould) {
    const Bytes smpb = CommentUtf16("eng", L"iTunSMPB", L" 00000000 00000210");
    const Bytes norm = CommentUtf16("eng", L"iTunNORM", L" 000001F4");
    const Bytes markers = GeobPayload("", "SfMarkers", Bytes{1});
    const Bytes mtdid = GeobPayload("binary", "USR_MTDID", Bytes{2});
    const Bytes ufid = UfidPayload(musicid::kOwner, 64);
    const Bytes foreign = UfidPayload("http://example.org", 64);
    TempDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, Mp3(3, {{"GEOB", GeobPayload("binary", "Other", Bytes{0})},
                            {"GEOB", mtdid},
                            {"GEOB", markers},
                            {"TXXX", TxxxPayload("foo", "bar")},
                            {"TXXX", TxxxPayload("GN_ExtData", "ext")},
                            {"WXXX", TxxxPayload("", "http://a")},
                            {"COMM", smpb},
                            {"COMM", norm},
                            {"UFID", ufid},
                            {"UFID", foreign},
                            {"TIT2", UnicodePayload(L"t")}}));
    auto commitWith = [&](const std::function<void(CTagmill &)> &puts) {
        CTagmill t;
        ASSERT_EQ(S_OK, t.Open(Widen(path), 3));
        puts(t);
        ASSERT_EQ(S_OK, t.Close());
    };

    commitWith([](CTagmill &t) { ASSERT_EQ(S_OK, t.PutString(4624, {L"a"})); });
    ParsedTag tag = ParseTag(ReadFile(path));
    EXPECT_EQ((std::vector<std::string>{"COMM", "UFID", "UFID", "TPE1", "GEOB", "GEOB", "TXXX", "COMM", "TIT2"}),
              FrameIds(tag));
    EXPECT_EQ((std::vector<Bytes>{markers, mtdid}), tag.Payloads("GEOB"));
    EXPECT_EQ(std::vector<Bytes>{Concat({TxxxPayload("GN_ExtData", "ext"), Bytes{0}})}, tag.Payloads("TXXX"));
    EXPECT_EQ((std::vector<Bytes>{norm, smpb}), tag.Payloads("COMM")) << "the loaded comment keeps its language";
    EXPECT_EQ((std::vector<Bytes>{ufid, foreign}), tag.Payloads("UFID"));

    // Replacing the comment leaves the other comment; deleting removes frames.
    commitWith([](CTagmill &t) {
        ASSERT_EQ(S_OK, t.PutUserDefinedString(9233, {MakeString(L"new", "fra")}));
        ASSERT_EQ(S_OK, t.PutGeob(8448, {}));
        ASSERT_EQ(S_OK, t.PutUserDefinedString(4717, {}));
        ASSERT_EQ(S_OK, t.PutMusicId({}));
    });
    tag = ParseTag(ReadFile(path));
    EXPECT_EQ((std::vector<std::string>{"COMM", "TPE1", "GEOB", "COMM", "TIT2"}), FrameIds(tag));
    EXPECT_EQ((std::vector<Bytes>{norm, CommentUtf16("fra", L"iTunSMPB", L"new")}), tag.Payloads("COMM"));
    EXPECT_EQ(std::vector<Bytes>{mtdid}, tag.Payloads("GEOB"));

    commitWith([](CTagmill &t) { ASSERT_EQ(S_OK, t.PutUserDefinedString(9233, {})); });
    EXPECT_EQ(std::vector<Bytes>{norm}, ParseTag(ReadFile(path)).Payloads("COMM"));
}

TEST(RecordProps, MalformedFramesLoadAsTheRecordsReadThem) {
    const Bytes good = GeobPayload("binary", "USR_MTDID", Bytes{1});
    const struct {
        FrameList frames;
        long id;
        long expected;
    } cases[] = {
        {{{"UFID", UfidPayload(musicid::kOwner, 63)}}, 5891, E_PROPERTY_ABSENT},
        {{{"UFID", UfidPayload(musicid::kOwner, 65)}}, 5891, E_PROPERTY_ABSENT},
        {{{"UFID", UfidPayload("", 64)}, {"UFID", UfidPayload(musicid::kOwner, 64)}}, 5891, E_PROPERTY_ABSENT},
        {{{"GEOB", Concat({Bytes{0}, Ascii("binary")})}, {"GEOB", good}}, 5894, E_PROPERTY_ABSENT},
        {{{"GEOB", good}, {"GEOB", Concat({Bytes{0}, Ascii("binary")})}}, 5894, S_OK},
        {{{"COMM", Ascii("\1en")}}, 9233, E_PROPERTY_ABSENT},
        {{{"TXXX", TxxxPayload("gn_extdata", "x")}}, 4717, E_PROPERTY_ABSENT},
        // No terminator: the whole rest is the description, the value is empty.
        {{{"TXXX", Concat({Bytes{0}, Ascii("GN_ExtData")})}}, 4717, S_OK},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        TempDir dir;
        const std::string path = dir.file("a.mp3");
        const Bytes original = Mp3(3, cases[i].frames);
        WriteFile(path, original);
        CTagmill t;
        ASSERT_EQ(S_OK, t.Open(Widen(path), 3));
        List<MusicId> ids;
        List<Geob> objects;
        List<UserString> strings;
        const long hr = cases[i].id == 5891   ? t.GetMusicId(ids)
                         : cases[i].id == 5894 ? t.GetGeob(5894, objects)
                                               : t.GetUserDefinedString(cases[i].id, strings);
        EXPECT_EQ(cases[i].expected, hr);
        if (cases[i].id == 4717 && hr == S_OK) {
            EXPECT_EQ(L"", ValueOf(*strings.at(0)));
        }
        ASSERT_EQ(S_OK, t.Close());
        EXPECT_EQ(original, ReadFile(path)) << "nothing put, nothing written";
    }
}

TEST(RecordProps, MembersRefuseClosedObjectsAndIdentifiersOfOtherKinds) {
    const List<Geob> objects{MakeGeob(L"d", "m", Bytes{1})};
    const List<UserString> strings{MakeString(L"v")};
    List<MusicId> ids;
    List<Geob> gotObjects;
    List<UserString> gotStrings;
    List<CTagmill::CPicture> pictures;
    CTagmill closed;
    for (long hr : {closed.GetMusicId(ids), closed.PutMusicId(ids), closed.GetGeob(5894, gotObjects),
                    closed.PutGeob(5894, objects), closed.GetUserDefinedString(4717, gotStrings),
                    closed.PutUserDefinedString(4717, strings), closed.GetBinary(4640, pictures),
                    closed.PutBinary(4640, pictures)})
        EXPECT_EQ(E_UNEXPECTED, hr);

    TempDir dir;
    const std::string path = dir.file("a.mp3");
    const Bytes original = Mp3(3, {{"TIT2", UnicodePayload(L"t")}});
    WriteFile(path, original);
    CTagmill t;
    ASSERT_EQ(S_OK, t.Open(Widen(path), 3));
    for (long id : {4615L, 4717L, 5891L, 8960L, 1L}) EXPECT_EQ(E_PROPERTY_UNSUPPORTED, t.PutGeob(id, objects)) << id;
    for (long id : {4615L, 5894L, 8960L, 8966L, 1L})
        EXPECT_EQ(E_PROPERTY_UNSUPPORTED, t.PutUserDefinedString(id, strings)) << id;
    EXPECT_EQ(E_PROPERTY_ABSENT, t.GetGeob(1, gotObjects));
    EXPECT_EQ(E_PROPERTY_ABSENT, t.GetUserDefinedString(8960, gotStrings));
    EXPECT_EQ(E_PROPERTY_UNSUPPORTED, t.GetBinary(4615, pictures));
    EXPECT_EQ(E_PROPERTY_UNSUPPORTED, t.PutBinary(4615, pictures));
    ASSERT_EQ(S_OK, t.Close());
    EXPECT_EQ(original, ReadFile(path)) << "refused puts begin no edit";
}

// Frames written by mutagen, in ID3v2.3 and ID3v2.4 tags, UTF-16 objects
// among them.
TEST(RecordPeers, FramesWrittenByMutagenLoad) {
    const std::string python = PythonWithMutagen();
    if (python.empty()) GTEST_SKIP() << "python3 with mutagen is not installed";
    const std::string script = std::string(R"(import sys
from mutagen.id3 import ID3, TXXX, COMM, UFID, GEOB
t = ID3()
t.add(GEOB(encoding=0, mime='binary', filename='', desc='Other', data=b'o'))
t.add(GEOB(encoding=1, mime='', filename='', desc='SfMarkers', data=b'\x00\x01\xff'))
t.add(GEOB(encoding=0, mime='binary', filename='', desc='USR_MTDID', data=b'mtd'))
t.add(TXXX(encoding=0, desc='GN_ExtData', text=['ext']))
t.add(COMM(encoding=1, lang='eng', desc='iTunNORM', text=['norm']))
t.add(COMM(encoding=1, lang='eng', desc='iTunSMPB', text=[' 00000000 \u00e9']))
t.add(UFID(owner=')") + musicid::kOwnerWithoutScheme + R"(', data=b'\x07' * 64))
t.save(sys.argv[1], v2_version=int(sys.argv[2]))
)";
    for (int version : {3, 4}) {
        TempDir dir;
        const std::string path = dir.file("a.mp3");
        WriteFile(path, FakeAudio(2));
        std::string out;
        ASSERT_TRUE(RunPython(python, script, path + " " + std::to_string(version), &out)) << out;
        CTagmill t;
        ASSERT_EQ(S_OK, t.Open(Widen(path), 1));
        List<Geob> objects;
        ASSERT_EQ(S_OK, t.GetGeob(8448, objects));
        // The object reader looks for the UTF-16 terminator at every byte, so
        // the zero high byte of the last "s" and the first terminator byte end
        // the description one byte early: the data gains a leading zero.
        EXPECT_EQ((Bytes{0, 0, 1, 0xFF}), DataOf(*objects.at(0)));
        ASSERT_EQ(S_OK, t.GetGeob(5894, objects));
        EXPECT_EQ(Ascii("mtd"), DataOf(*objects.at(0)));
        List<UserString> strings;
        ASSERT_EQ(S_OK, t.GetUserDefinedString(4717, strings));
        EXPECT_EQ(L"ext", ValueOf(*strings.at(0)));
        ASSERT_EQ(S_OK, t.GetUserDefinedString(9233, strings));
        EXPECT_EQ(L" 00000000 \u00e9", ValueOf(*strings.at(0)));
        unsigned char language[3] = {};
        strings.at(0)->GetLanguage(language);
        EXPECT_EQ("eng", std::string(language, language + 3));
        List<MusicId> ids;
        ASSERT_EQ(S_OK, t.GetMusicId(ids));
        EXPECT_EQ(Bytes(64, 7), DataOf(*ids.at(0)));
    }
}

} // namespace
