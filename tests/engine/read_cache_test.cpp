// The read cache must not change a single result: every reading function,
// run on the same content with the cache and with the plain walk, gives the
// same codes, records, bytes and content positions, also on damaged and
// unsynchronised tags, and also after the content was changed by an ID3v1
// write and an edit. The contents: the peer corpus, tags shaped like the
// benchmark's, and cut copies of both.
#include <random>
#include <sstream>

#include "engine/internal.h"
#include "engine/read_cache.h"
#include "support/edit_support.h"

using namespace testsupport;

namespace {

// Runs body with the cache switched off for this thread.
template <class F> auto Plain(F body) {
    tav_id3_set_read_cache(0);
    auto result = body();
    tav_id3_set_read_cache(1);
    return result;
}

// A short stand-in for n bytes: their count and a hash.
std::string Digest(const void *bytes, size_t n) {
    const std::string b(static_cast<const char *>(bytes), n);
    return std::to_string(n) + ':' + std::to_string(std::hash<std::string>()(b));
}

// The IDs the plain walk meets, and a few that no tag holds.
std::set<uint32_t> IdsToAsk(tav_id3_context *context) {
    std::set<uint32_t> ids = {0x54495432, 0x54543200, 0x434F4D4D, 0x41504943, 0, 0xFFFFFFFF};
    tav_id3_v2_header h;
    const auto collect = [](const tav_id3_v2_frame_header *frame, uint32_t, uint32_t, void *user) {
        return static_cast<std::set<uint32_t> *>(user)->insert(frame->id), 0;
    };
    Plain([&] {
        return tav_id3_v2_get_header(context, &h) == TAV_OK && tav_id3_v2_walk_frames(context, &h, 0, collect, &ids);
    });
    return ids;
}

// Every reading function in turn, each answer followed by the content
// position; the reads are repeated after an ID3v1 write and after an edit
// that removes a frame and appends one.
std::string Transcript(tav_id3_context *c, const std::set<uint32_t> &ids) {
    std::ostringstream out;
    auto note = [&](const char *what, int64_t rc, const std::string &detail) {
        out << what << ' ' << rc << ' ' << detail << " @" << tav_id3_seek_content(c, 0, 1) << '\n';
    };
    Bytes buffer(1 << 20);
    auto reads = [&] {
        tav_id3_v2_header h{};
        note("header", tav_id3_v2_get_header(c, &h), Digest(&h, sizeof h));
        for (uint32_t id : ids) {
            uint32_t count = 0;
            note("count", tav_id3_v2_get_frame_num(c, id, &count), std::to_string(count));
            for (uint32_t index = 0; index <= count && index < 40; ++index) {
                tav_id3_v2_frame_header f{};
                note("frame", tav_id3_v2_get_frame_header(c, id, index, &f), Digest(&f, sizeof f));
                for (uint32_t wanted : {static_cast<uint32_t>(buffer.size()), 3u}) {
                    int32_t rc = tav_id3_v2_get_frame_data(c, id, index, &wanted, buffer.data());
                    note("data", rc, Digest(buffer.data(), rc == TAV_OK ? wanted : 0));
                }
                uint32_t offset = 0, size = 0;
                int32_t rc = tav_id3_v2_get_frame_data_offset(c, id, index, &offset, &size);
                note("offset", rc, std::to_string(offset) + '+' + std::to_string(size));
            }
        }
        uint32_t size = 0;
        note("raw size", tav_id3_get_id3tag(c, nullptr, &size), std::to_string(size));
        char text[32] = {0};
        uint32_t length = 30;
        note("v1 title", tav_id3_v1_get_title(c, text, &length), text);
    };
    reads();
    note("v1 write", tav_id3_v1_set_title(c, "cached?"), "");
    reads();
    note("begin", tav_id3_v2_edit_begin(c), "");
    note("add", AddFrame(c, "TPE1", Bytes{0, 'a', 'b', 'c'}), "");
    note("remove", tav_id3_v2_remove_frame(c, FrameId("TIT2"), 0), "");
    note("end", tav_id3_v2_edit_end(c), "");
    reads();
    return out.str();
}

// A tag shaped like the benchmark's: text frames, a comment, a picture of
// noise (full of 0xFF bytes) and padding, optionally unsynchronised.
Bytes BenchLikeFile(uint8_t major, bool unsync, size_t picture_kb = 30) {
    std::mt19937 rng(1957);
    Bytes picture(picture_kb * 1024);
    for (auto &b : picture) b = static_cast<uint8_t>(rng());
    FrameList frames;
    for (const char *id : {"COMM", "TRCK", "TALB", "TPE1", "TIT2"})
        frames.push_back({id, Latin1Text(std::string("value of ") + id)});
    frames.push_back({"APIC", Concat({Bytes{0}, Ascii("image/jpeg"), Bytes{0, 3, 0}, picture})});
    const Bytes tag = TagV2(major, frames, 0), body(tag.begin() + 10, tag.end());
    return Concat({Id3Tag(major, Concat({unsync ? Unsynchronise(body) : body, Bytes(2048, 0)}), unsync ? 0x80 : 0),
                   FakeAudio(20)});
}

struct Sample { std::string name; Bytes bytes; bool aiff, damaged; };

// Each content as it is, and, when it starts with a tag, cut inside it (not
// before the "ID3", so that the plain search does not crawl through the whole
// content on every call).
void AddDamaged(std::vector<Sample> *samples, const std::string &name, const Bytes &bytes, bool aiff) {
    samples->push_back({name, bytes, aiff, false});
    if (bytes.size() < 24 || !std::equal(bytes.begin(), bytes.begin() + 3, "ID3")) return;
    for (size_t cut : {bytes.size() / 7, bytes.size() / 3, size_t(24)})
        samples->push_back({name + " cut", Bytes(bytes.begin(), bytes.begin() + cut), aiff, true});
}

// The benchmark-like tags (one larger than the snapshot's blocks) and the
// corpus, each with damaged copies, and a file with only an ID3v1 tag.
std::vector<Sample> Samples() {
    std::vector<Sample> samples = {
        {"no ID3v2", Concat({FakeAudio(20), Ascii("TAGa title"), Bytes(118, ' ')}), false, false}};
    AddDamaged(&samples, "bench v2.4", BenchLikeFile(4, false), false);
    AddDamaged(&samples, "bench unsync", BenchLikeFile(3, true), false);
    AddDamaged(&samples, "bench big picture", BenchLikeFile(3, true, 150), false);
    if (!CorpusAvailable()) return samples;
    for (const std::string &name : CorpusFiles())
        AddDamaged(&samples, name, ReadFile(CorpusPath(name)), name.find(".aif") != std::string::npos);
    return samples;
}

} // namespace

// The content's bytes: a memory image's valid bytes, or the file's once the
// context is destroyed.
Bytes ContentOf(Context &c, const std::string &path) {
    if (c->memory) return Bytes(c->memory->buffer, c->memory->buffer + c->memory->data_length);
    c.Destroy();
    return ReadFile(path);
}

// Each sample as a memory image and, where affordable, as a file opened for
// reading and writing (the snapshot under the content operations). Where the
// plain search finds no tag at the start it crawls through a file with system
// calls per byte, so only one such file runs, and damaged copies of corpus
// files run in memory only.
TEST(ReadCache, CachedAndPlainReadAndWriteAlike) {
    TempDir dir;
    for (const Sample &s : Samples()) {
        SCOPED_TRACE(s.name);
        const bool bench = s.name.rfind("bench", 0) == 0;
        const bool at_start = s.bytes.size() >= 3 && std::equal(s.bytes.begin(), s.bytes.begin() + 3, "ID3");
        const bool as_file = (at_start || s.aiff || s.name == "no ID3v2") && (bench || !s.damaged);
        for (bool file : {false, true}) {
            if ((!file && s.bytes.empty()) || (file && !as_file)) continue;
            SCOPED_TRACE(file ? "file" : "memory");
            if (file) {
                WriteFile(dir.file("cached"), s.bytes);
                WriteFile(dir.file("plain"), s.bytes);
            }
            Context cached, plain;
            auto open = [&](Context &c, const char *name) {
                return file ? c.OpenFile(dir.wfile(name), 2, s.aiff) : c.OpenMemory(s.bytes);
            };
            const int32_t rc = open(cached, "cached");
            ASSERT_EQ(rc, Plain([&] { return open(plain, "plain"); }));
            if (rc != TAV_OK) continue;
            const std::set<uint32_t> ids = IdsToAsk(plain.get());
            const std::string expected = Plain([&] { return Transcript(plain.get(), ids); });
            EXPECT_EQ(expected, Transcript(cached.get(), ids));
            EXPECT_EQ(ContentOf(plain, dir.file("plain")), ContentOf(cached, dir.file("cached")));
        }
    }
}
