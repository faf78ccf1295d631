// String reads: the ID3v1 fall-back and when it is not taken, repeated frames,
// the text payloads of every encoding (marks, surrogate pairs, malformed and
// short input), which identifiers the string members accept, refusals, and the
// re-write of the core properties by an open for writing.
#include "support/frame_extract.h"

using namespace testsupport;
using namespace tagmill;

namespace {


// Each content is read for several properties; an empty list means the
// property reads as absent. Beside the ID3v1 tag, an empty title frame hides
// its title and the album frame wins; the track frame is shared by 4357 and
// 4397; only the first artist frame is read, but every URL frame; and a
// user-defined text frame is no string property.
TEST(GetString, Id3v2FramesAndTheId3v1Fallback) {
    const FrameList frames = {
        {"TIT2", {1, 0xFF, 0xFE, 0, 0}}, {"TALB", Latin1Text("Bar")},     {"TRCK", Latin1Text("3/12")},
        {"TPE1", Latin1Text("A")},       {"TPE1", Latin1Text("B")},       {"WOAR", Ascii("http://a")},
        {"WOAR", Ascii("http://b\xE9")}, {"TXXX", Concat({Latin1Text("GN_ExtData"), Bytes{0, 'x'}})}};
    const struct { const char *name; Bytes content; std::map<long, Strings> expected; } cases[] = {
        {"ID3v1.1 only", TagV1("Foo", "Art\xE9", "Alb" + std::string(27, ' '), 17, 0),
         {{4615, {L"Foo"}}, {4624, {L"Art\u00E9"}}, {4620, {L"Alb"}}, {4616, {L"(17)"}}, {4357, {L"0"}}, {4397, {}}}},
        {"ID3v1.0 without genre", TagV1("Foo", "", "", 148), {{4624, {}}, {4616, {}}, {4357, {}}}},
        {"frames beside ID3v1", Concat({TagV2(3, frames), FakeAudio(1), TagV1("Foo", "Art", "Alb", 17, 9)}),
         {{4615, {}}, {4620, {L"Bar"}}, {4624, {L"A"}}, {4357, {L"3/12"}}, {4397, {L"3/12"}}, {4717, {}},
          {4646, {L"http://a", L"http://b\u00E9"}}, {4616, {L"(17)"}}}},
    };
    for (const auto &c : cases) {
        CTagmill tag;
        ASSERT_EQ(OpenBytes(tag, c.content), S_OK) << c.name;
        for (const auto &[id, expected] : c.expected) {
            long hr = 0;
            EXPECT_EQ(Values(tag, id, &hr), expected) << c.name << ", property " << id;
            EXPECT_EQ(hr, expected.empty() ? E_PROPERTY_ABSENT : S_OK) << c.name << ", property " << id;
        }
    }
}

// Text payloads read through a title frame in tags of each version. Each tag
// has an ID3v1 title "Foo" beside the frame: a payload that fails to decode
// falls back to "Foo", an empty but valid one reads as absent. Malformed
// sequences become U+FFFD, one for each byte that cannot start or continue a
// character.
TEST(TitlePayload, DecodesInEveryVersion) {
    const std::wstring smiley(L"\U0001F600"); // a surrogate pair where wchar_t has 16 bits
    const std::wstring bad(L"\uFFFD");
    const std::wstring badUtf8 = bad + L"(" + std::wstring(10, L'\uFFFD');
    // expected empty: absent
    const struct { const char *name; Bytes payload; std::wstring expected; } cases[] = {
        {"UTF-16LE, first value only", {1, 0xFF, 0xFE, 0x41, 0, 0x42, 0, 0, 0, 0x43, 0}, L"AB"},
        {"UTF-16 big-endian mark", {1, 0xFE, 0xFF, 0, 0x41, 0, 0x42}, L"AB"},
        {"UTF-16BE encoding byte", {2, 0, 0x41, 0, 0x42}, L"AB"},
        {"UTF-16 without a mark is big-endian", {1, 0, 0x41, 0, 0x42}, L"AB"},
        {"UTF-16 surrogate pair", {1, 0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE}, smiley},
        {"UTF-16 lone surrogates", {1, 0xFF, 0xFE, 0x00, 0xD8, 0x42, 0x00, 0x00, 0xDC}, bad + L"B" + bad},
        {"UTF-16 empty text", {1, 0xFF, 0xFE, 0, 0}, L""},
        {"UTF-8 needs two bytes", {3, 0x41}, L"Foo"},
        {"UTF-8 terminated, first value", {3, 0x41, 0, 0x42}, L"A"},
        {"UTF-8 euro sign and four bytes", {3, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80}, L"\u20AC" + smiley},
        // A broken pair, an overlong lead with a stray continuation, an
        // encoded surrogate, a code above U+10FFFF, a sequence cut off.
        {"UTF-8 malformed",
         {3, 0xC3, 0x28, 0xC0, 0xAF, 0xED, 0xA0, 0x80, 0xF4, 0x90, 0x80, 0x80, 0xE2, 0x82}, badUtf8},
        {"Latin-1 high byte, first value", {0, 0xE9, 0, 0x42}, L"\u00E9"},
        {"encoding byte alone", {0}, L""},
        {"empty payload", {}, L"Foo"},
        {"unknown encoding", {4, 0x41}, L"Foo"},
    };
    for (const auto &c : cases) {
        for (int major : {2, 3, 4}) {
            SCOPED_TRACE(std::string(c.name) + " in v2." + std::to_string(major));
            CTagmill tag;
            const std::string id = major == 2 ? "TT2" : "TIT2";
            ASSERT_EQ(OpenBytes(tag, Concat({TagV2(major, {{id, c.payload}}), TagV1("Foo")})), S_OK);
            long hr = 0;
            const Strings values = Values(tag, 4615, &hr);
            EXPECT_EQ(hr, c.expected.empty() ? E_PROPERTY_ABSENT : S_OK);
            EXPECT_EQ(values, c.expected.empty() ? Strings{} : Strings{c.expected});
        }
    }
}

// GetString and PutString accept exactly the string identifiers, checked
// against an independent list. A refused put begins no edit, so the commit
// finds nothing to do; a refused read leaves the caller's list alone.
TEST(FrameMapping, StringMembersAcceptExactlyTheStringIdentifiers) {
    const std::set<long> expected = {288,  289,  528,  593,  4357, 4397, 4610, 4615, 4616, 4617, 4620,
                                     4624, 4627, 4646, 4717, 5639, 5644, 5648, 5651, 8450, 9233};
    CTagmill tag;
    ASSERT_EQ(OpenBytes(tag, FakeAudio()), S_OK);
    EXPECT_EQ(tag.TagVersion(), 1) << "a content without an ID3v2 tag is taken for 2.3";
    EXPECT_EQ(tag.PutString(5120, {L"x"}), E_PROPERTY_UNSUPPORTED);
    EXPECT_EQ(tag.UpdateOnMemory(), E_FAIL);
    Strings values{L"keep"};
    EXPECT_EQ(tag.GetString(4615, values), E_PROPERTY_ABSENT);
    EXPECT_EQ(values, Strings{L"keep"});
    std::set<long> readable, writable;
    for (long id = -5; id < 0x3000; ++id) {
        if (tag.GetString(id, values) != E_PROPERTY_UNSUPPORTED) readable.insert(id);
        if (tag.PutString(id, {}) != E_PROPERTY_UNSUPPORTED) writable.insert(id);
    }
    EXPECT_EQ(readable, expected);
    EXPECT_EQ(writable, expected);
}

// Mode 2 writes title, track, genre, album and artist back at once, in the
// library's own encodings and in that order (the commit moves the title last):
// values found only in the ID3v1 tag reach the ID3v2 tag, further values of a
// frame are dropped, and frames of other properties stay as they were. The
// extended header (10 bytes, its size field 6 leaving out its own four) is
// not written back.
TEST(OpenForWriting, RewritesTheCorePropertiesOnClose) {
    const Bytes tcop = Concat({Bytes{3}, Ascii("C"), Bytes{0}});
    const Bytes artists = Concat({Bytes{3}, Ascii("X"), Bytes{0}, Ascii("Y")});
    const Bytes extendedHeader = Concat({Be32(6), Bytes{1, 0}, Bytes(4, 0)});
    const Bytes body = Concat({extendedHeader, Frame24("TPE1", artists), Frame24("TCOP", tcop), Bytes(16, 0)});
    const Bytes original = Concat({Id3Tag(4, body, 0x40), FakeAudio(2), TagV1("Foo", "", "", 17, 9)});
    const ParsedTag written = ParseTag(CommitFile(original, [](CTagmill &) {}));

    const FrameList expected = {{"TCOP", tcop}, {"TRCK", Latin1Text("9", true)}, {"TCON", Latin1Text("(17)", true)},
                                {"TPE1", Utf16Text(L"X", true)}, {"TIT2", Utf16Text(L"Foo", true)}};
    EXPECT_EQ(written.flags, 0);
    EXPECT_EQ(written.List(), expected);
}

} // namespace
