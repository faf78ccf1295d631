// Hostile contents through the class: a sample file cut at every byte, header
// and frame sizes at their limits, long unsynchronisation runs and broken AIFF
// chunk layouts. Every open ends in a result code, every reader answers with a
// plain result and nothing longer than the content, and a read-only open
// leaves the file's bytes as they were.
#include <cstdlib>

#include "support/test_support.h"

using namespace testsupport;
using namespace tagmill;

namespace {


const long kStringIds[] = {288,  289,  528,  593,  4357, 4397, 4610, 4615, 4616, 4617, 4620,
                           4624, 4627, 4646, 4717, 5639, 5644, 5648, 5651, 8450, 9233};

bool Plain(long hr) { return hr == S_OK || hr == S_FALSE || hr == E_FAIL || hr == E_PROPERTY_ABSENT; }

// Runs every reader; returns the string values in identifier order.
Strings ReadEverything(CTagmill &tag, size_t limit) {
    Strings all;
    for (long id : kStringIds) {
        Strings values;
        long offset = -1, size = -1;
        EXPECT_PRED1(Plain, tag.GetString(id, values)) << id;
        EXPECT_PRED1(Plain, tag.GetFrameOffset(id, offset, size)) << id;
        EXPECT_LE(size_t(offset), limit) << id;
        all.insert(all.end(), values.begin(), values.end());
    }
    for (const std::wstring &value : all) EXPECT_LE(value.size(), limit);
    std::vector<std::shared_ptr<CTagmill::CPicture>> pictures;
    std::vector<std::shared_ptr<CTagmill::CMusicId>> ids;
    std::vector<std::shared_ptr<CTagmill::CGeob>> objects;
    std::vector<std::shared_ptr<CTagmill::CUserDefinedString>> strings;
    double date = 0;
    std::wstring year;
    unsigned long tagSize = 0;
    for (long hr : {tag.GetBinary(4640, pictures), tag.GetMusicId(ids), tag.GetGeob(5894, objects),
                    tag.GetUserDefinedString(4717, strings), tag.GetUserDefinedString(9233, strings),
                    tag.GetDate(5120, date), tag.GetYearString(year), tag.GetId3TagFrame(nullptr, &tagSize)})
        EXPECT_PRED1(Plain, hr);
    for (const auto &picture : pictures) EXPECT_LE(size_t(picture->Size()), limit);
    for (const auto &object : objects) EXPECT_LE(size_t(object->GetDataSize()), limit);
    // Only the bytes present come back, so a buffer the size of the content is
    // enough even when the header claims more; a copy past it shows under ASan.
    unsigned char *raw = static_cast<unsigned char *>(malloc(std::min<size_t>(tagSize, limit) + 1));
    EXPECT_PRED1(Plain, tagSize ? tag.GetId3TagFrame(&raw, &tagSize) : S_FALSE);
    EXPECT_LE(size_t(tagSize), limit);
    free(raw);
    return all;
}

// Opens a file read-only, read-write, then read-only again, and (unless it is
// AIFF) a memory image of it, running every reader each time. The first open
// leaves every byte as it was; the read-write and memory opens load the same
// strings, and the rewrite on Close keeps each of them. Returns the strings.
Strings OpenEveryWay(const Bytes &content, bool aiff = false, long expectedOpen = S_OK) {
    // A rewrite syncs the file to disk: on a memory file system that is free.
    std::unique_ptr<ScopedTmpDir> memoryFs(FileExists("/dev/shm") ? new ScopedTmpDir("/dev/shm") : nullptr);
    TempDir dir;
    WriteFile(dir.file("f"), content);
    Strings loaded[3];
    const long modes[] = {1, 2, 1};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("open " + std::to_string(i + 1) + ", mode " + std::to_string(modes[i]));
        const size_t limit = ReadFile(dir.file("f")).size() + 18; // room for an appended empty AIFF chunk
        CTagmill tag;
        const long hr = aiff ? tag.OpenForAiff(dir.wfile("f"), modes[i]) : tag.Open(dir.wfile("f"), modes[i]);
        EXPECT_TRUE(i == 2 || hr == (i == 0 ? expectedOpen : S_OK)) << hr;
        if (hr != S_OK) continue;
        loaded[i] = ReadEverything(tag, limit);
        EXPECT_PRED1(Plain, tag.Close());
        EXPECT_TRUE(i > 0 || ReadFile(dir.file("f")) == content) << "a read-only open changed the file";
    }
    EXPECT_TRUE(expectedOpen != S_OK || loaded[0] == loaded[1]) << "the read-write open loaded other strings";
    for (const std::wstring &value : loaded[1])
        EXPECT_NE(std::find(loaded[2].begin(), loaded[2].end(), value), loaded[2].end()) << Narrow(value);
    Bytes image = Concat({content, {0}}); // a valid pointer even for an empty content
    CTagmill memory;
    const long hr = aiff ? E_FAIL : memory.OpenFromMemory(image.data(), unsigned(content.size()), 1);
    EXPECT_TRUE(aiff || hr == (content.empty() ? E_FAIL : S_OK)) << hr;
    EXPECT_TRUE(hr != S_OK || ReadEverything(memory, content.size()) == loaded[0]) << "memory and file differ";
    EXPECT_EQ(memory.Close(), S_OK);
    return loaded[0];
}

// A picture, a comment and text frames in both encodings, then audio and an
// ID3v1 tag, cut after every byte.
TEST(HostileInput, SampleCutAtEveryByte) {
    const Bytes picture = Concat({Bytes{0}, Ascii("image/png"), Bytes{0, 3, 0}, Bytes(64, 0x89)});
    const Bytes comment = Concat({Bytes{1}, Ascii("eng"), Utf16Text(L"iTunSMPB"), Bytes{0, 0}, Utf16Text(L"x")});
    const Bytes sample = Concat({TagV2(3, {{"TIT2", Utf16Text(L"Title")}, {"TPE1", Latin1Text("Artist")},
                                           {"TALB", Utf16Text(L"Album")}, {"TRCK", Latin1Text("3/12")},
                                           {"TCON", Latin1Text("(17)")}, {"TYER", Latin1Text("1999")},
                                           {"WOAR", Ascii("http://a/")}, {"COMM", comment}, {"APIC", picture},
                                           {"TXXX", Concat({Bytes{0}, Ascii("GN_ExtData"), Bytes{0, 'v'}})}}),
                                 FakeAudio(1), TagV1("Old title", "Old artist", "", 17, 7)});
    EXPECT_EQ(OpenEveryWay(sample), (Strings{L"3/12", L"3/12", L"Title", L"(17)", L"Album", L"Artist", L"http://a/"}));
    for (size_t cut = 0; cut < sample.size() && !::testing::Test::HasFailure(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        OpenEveryWay(Bytes(sample.begin(), sample.begin() + cut));
    }
}

// flags 0x80: the frames are stored unsynchronised; size: the header's size
// bytes as stored (empty: the body's length); each frame's size is its data's;
// tail: raw bytes after the frames, inside the tag; titles: the values "title"
// loaded from the tag alone (-1: any number).
struct TagCase { const char *name; uint8_t flags; Bytes size; FrameList frames; Bytes tail; int titles; };

Bytes HostileTag(int major, const TagCase &c) {
    Bytes body;
    for (const auto &f : c.frames)
        for (uint8_t b : (major == 3 ? Frame23 : Frame24)(f.first, f.second, 0, 0)) {
            body.push_back(b);
            if (b == 0xFF && (c.flags & 0x80)) body.push_back(0); // unsynchronisation
        }
    const Bytes size = c.size.empty() ? Syncsafe(uint32_t(body.size() + c.tail.size())) : c.size;
    return Concat({Ascii("ID3"), {uint8_t(major), 0, c.flags}, size, body, c.tail});
}

Bytes RawFrame(const char *id, const Bytes &size, const Bytes &data) { return Concat({Ascii(id), size, {0, 0}, data}); }

TEST(HostileInput, HeaderAndFrameSizes) {
    const Bytes title = Latin1Text("title"), ff(3000, 0xFF);
    const Bytes picture = Concat({Bytes{0}, Ascii("image/png"), Bytes{0, 3, 0}, ff});
    const FrameList titled = {{"TIT2", title}, {"TPE1", title}};
    const TagCase cases[] = {
        {"tag size 0", 0, Be32(0), titled, {}, 0},
        {"tag size 1", 0, Be32(1), titled, {}, 0},
        {"tag size 1 with top bits set", 0, {0x80, 0x80, 0x80, 0x81}, titled, {}, 0},
        {"tag size 7F7F7F7F", 0, Be32(0x7F7F7F7F), titled, {}, -1},
        {"tag size FFFFFFFF", 0, Be32(0xFFFFFFFF), titled, {}, -1},
        {"frame size 7F7F7F7F", 0, {}, titled, RawFrame("APIC", Be32(0x7F7F7F7F), picture), 2},
        {"frame size FFFFFFFF", 0, {}, titled, RawFrame("COMM", Be32(0xFFFFFFFF), title), 2},
        {"frame one byte past the tag", 0, {}, titled, RawFrame("TALB", Be32(7), title), 2},
        {"frame header cut by the tag end", 0, {}, titled, Concat({Ascii("TALB"), {0, 0}}), 2},
        {"zero-size frames", 0, {}, {{"TIT2", {}}, {"APIC", {}}, {"COMM", {}}, {"TXXX", {}}, {"UFID", {}},
                                    {"GEOB", {}}, {"WOAR", {}}, {"TYER", {}}, {"TDRC", {}}, {"TPE1", title}}, {}, 1},
        {"extended header of size FFFFFFFF", 0x40, {}, {},
         Concat({Be32(0xFFFFFFFF), Bytes(10, 0), RawFrame("TIT2", Be32(6), title)}), 0},
        // No padding: the walk reads on past the bare tag and the reads fail.
        {"unsynchronised FF runs", 0x80, {}, {{"TIT2", Concat({Bytes{0}, ff})}, {"APIC", picture}, {"TPE1", title}},
         {}, 0},
        {"unsynchronised tag ending in FF", 0x80, {}, titled, {0xFF}, 2},
        {"unsynchronised FF FF without zeros", 0x80, {}, titled, ff, -1}, // 2.3 sizes wrap: the walk fails
        {"unsynchronised tag of size FFFFFFFF", 0x80, Be32(0xFFFFFFFF), titled, {0xFF}, -1},
    };
    for (const TagCase &c : cases)
        for (int major : {3, 4}) {
            SCOPED_TRACE(std::string(c.name) + ", version 2." + std::to_string(major));
            const Bytes tag = HostileTag(major, c);
            const Strings strings = OpenEveryWay(tag);
            EXPECT_TRUE(c.titles < 0 || std::count(strings.begin(), strings.end(), L"title") == c.titles);
            OpenEveryWay(Concat({tag, FakeAudio(1), TagV1("v1")}));
        }
}

TEST(HostileInput, AiffChunkLayouts) {
    const Bytes tag = TagV2(3, {{"TIT2", Latin1Text("aiff")}}, 1), id3 = Concat({Ascii("ID3 "), Be32(26), tag});
    const Bytes comm = Concat({Ascii("COMM"), Be32(18), Bytes(18, 1)}), empty = Concat({Ascii("SSND"), Be32(0)});
    const Bytes oddTag = TagV2(3, {{"TIT2", Latin1Text("an")}}, 0); // 23 bytes
    // A FORM header of the given size; the chunks follow as raw bytes.
    const auto form = [](uint32_t size) { return Form("AIFF", {}, size); };
    const struct { const char *name; Bytes file; bool found; } cases[] = {
        {"chunk size wrapping back onto itself", Concat({form(200), Ascii("COMM"), Be32(0xFFFFFFF8), id3}), false},
        {"zero-size chunks", Concat({form(200), empty, empty, empty, comm, id3}), true},
        {"chunk size past the end", Concat({form(200), comm, Ascii("SSND"), Be32(0x7FFFFFF0), id3}), false},
        {"FORM size 0", Concat({form(0), id3}), false},
        {"FORM size FFFFFFFF", Concat({form(0xFFFFFFFF), comm, id3}), true},
        {"ID3 chunk larger than the file", Concat({form(200), comm, Ascii("ID3 "), Be32(0x7FFFFFFF), tag}), true},
        {"ID3 chunk header cut short", Concat({form(200), comm, Ascii("ID3 ")}), false},
        {"AIFC form", Form("AIFC", {{"ID3 ", tag}}), true},
        // The tag inside the other chunk is not the one found.
        {"odd chunk holding a tag", Form("AIFF", {{"ANNO", oddTag}, {"ID3 ", tag}}), true},
        {"no ID3 chunk", Form("AIFF", {{"COMM", Bytes(18, 1)}, {"SSND", Bytes(40, 0)}}), false},
        {"lower-case chunk ID", Form("AIFF", {{"id3 ", tag}}), false},
        {"chunk beyond the FORM's end", Form("AIFF", {{"COMM", Bytes(18, 1)}, {"ID3 ", tag}}, 30), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OpenEveryWay(c.file, true, c.found ? S_OK : E_FAIL), c.found ? Strings{L"aiff"} : Strings{});
    }
}

} // namespace
