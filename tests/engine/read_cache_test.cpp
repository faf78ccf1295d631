// The read cache must not change a single result: every reading function,
// run on the same content with the cache and with the plain walk, gives the
// same codes, records, bytes and content positions, also on damaged and
// unsynchronised tags, and also after the content was changed by an ID3v1
// write or an edit. The contents: the peer corpus, tags shaped like the
// benchmark's, and cut and scrambled copies of both.
#include <gtest/gtest.h>
#include <dirent.h>

#include <functional>
#include <random>
#include <set>
#include <sstream>

#include "engine/internal.h"
#include "engine/read_cache.h"
#include "support/context_support.h"

using namespace testsupport;

namespace {

// Runs body with the cache switched off for this thread.
template <class F> auto Plain(F body) {
    tav_id3_set_read_cache(0);
    auto result = body();
    tav_id3_set_read_cache(1);
    return result;
}

std::string Hex(const uint8_t *b, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < n; ++i) out += {digits[b[i] >> 4], digits[b[i] & 15]};
    return out;
}

std::string Record(const tav_id3_v2_header &h) {
    std::ostringstream s;
    s << h.version << ',' << h.position << ',' << h.size << ',' << h.unsynchronisation << h.compression
      << h.extended_header << h.experimental << h.footer;
    return s.str();
}

std::string Record(const tav_id3_v2_frame_header &f) {
    std::ostringstream s;
    s << std::hex << f.id << std::dec << ',' << f.size << ',' << int(f.tag_alter_preservation)
      << int(f.file_alter_preservation) << int(f.read_only) << int(f.grouping_identity) << int(f.compression)
      << int(f.encryption) << ',' << int(f.encryption_method) << ',' << int(f.group_id) << ',' << f.data_length;
    return s.str();
}

int CollectId(const tav_id3_v2_frame_header *frame, uint32_t, uint32_t, void *user) {
    static_cast<std::set<uint32_t> *>(user)->insert(frame->id);
    return 0;
}

// The IDs the plain walk meets, and a few that no tag holds.
std::set<uint32_t> IdsToAsk(tav_id3_context *context) {
    std::set<uint32_t> ids = {0x54495432, 0x54543200, 0x434F4D4D, 0x41504943, 0, 0xFFFFFFFF};
    Plain([&] {
        tav_id3_v2_header header;
        if (tav_id3_v2_get_header(context, &header) == TAV_OK)
            tav_id3_v2_walk_frames(context, &header, 0, CollectId, &ids);
        return 0;
    });
    return ids;
}

// Every reading function in turn, each answer followed by the content position.
class Transcript {
public:
    Transcript(tav_id3_context *context, const std::set<uint32_t> &ids) : c_(context), ids_(ids) {}

    std::string Reads() {
        Header();
        for (uint32_t id : ids_) Frames(id);
        RawTag();
        V1();
        return out_.str();
    }

    // Reads, an ID3v1 write, reads, an edit that appends a frame, reads.
    std::string ReadsAndWrites() {
        Reads();
        Note("v1 title", tav_id3_v1_set_title(c_, "cached?"));
        Reads();
        Note("begin", tav_id3_v2_edit_begin(c_));
        tav_id3_v2_frame_header frame{};
        frame.id = 0x54504531; // TPE1
        frame.size = 4;
        const uint8_t payload[4] = {0, 'a', 'b', 'c'};
        Note("add", tav_id3_v2_add_frame(c_, &frame, payload));
        Note("remove", tav_id3_v2_remove_frame(c_, 0x54495432, 0));
        Note("end", tav_id3_v2_edit_end(c_));
        return Reads();
    }

private:
    void Note(const char *what, int64_t value, const std::string &detail = "") {
        out_ << what << ' ' << value << ' ' << detail << " @" << tav_id3_seek_content(c_, 0, 1) << '\n';
    }

    void Header() {
        tav_id3_v2_header h;
        int32_t rc = tav_id3_v2_get_header(c_, &h);
        Note("header", rc, Record(h));
        rc = tav_id3_v2_get_header2(c_, &h);
        Note("header2", rc, Record(h));
    }

    void Frames(uint32_t id) {
        uint32_t count = 0;
        Note("count", tav_id3_v2_get_frame_num(c_, id, &count), std::to_string(count));
        for (uint32_t index = 0; index <= count && index < 40; ++index) {
            tav_id3_v2_frame_header f{};
            Note("frame", tav_id3_v2_get_frame_header(c_, id, index, &f), Record(f));
            std::vector<uint8_t> &data = buffer_;
            uint32_t size = (uint32_t)data.size();
            int32_t rc = tav_id3_v2_get_frame_data(c_, id, index, &size, data.data());
            Note("data", rc, std::to_string(size) + ':' + std::to_string(std::hash<std::string>()(Hex(data.data(), rc == TAV_OK ? size : 0))));
            size = 3;
            rc = tav_id3_v2_get_frame_data(c_, id, index, &size, data.data());
            Note("data3", rc, std::to_string(size) + ':' + Hex(data.data(), rc == TAV_OK ? size : 0));
            uint32_t offset = 0;
            size = 0;
            rc = tav_id3_v2_get_frame_data_offset(c_, id, index, &offset, &size);
            Note("offset", rc, std::to_string(offset) + '+' + std::to_string(size));
        }
    }

    void RawTag() {
        uint32_t size = 0;
        int32_t rc = tav_id3_get_id3tag(c_, nullptr, &size);
        Note("raw size", rc, std::to_string(size));
        if (rc != TAV_OK || size > (1u << 24)) return;
        uint8_t *buffer = static_cast<uint8_t *>(tav_rud_malloc(size));
        rc = tav_id3_get_id3tag(c_, &buffer, &size);
        Note("raw", rc, std::to_string(size) + ':' + std::to_string(std::hash<std::string>()(Hex(buffer, buffer ? size : 0))));
        tav_rud_free(buffer);
    }

    void V1() {
        char text[64] = {0};
        uint32_t length = 30;
        int32_t rc = tav_id3_v1_get_title(c_, text, &length);
        Note("v1 title", rc, rc == TAV_OK ? std::string(text, length) : "");
        int32_t year = 0;
        Note("v1 year", tav_id3_v1_get_year(c_, &year), std::to_string(year));
        uint8_t track = 0;
        Note("v1 track", tav_id3_v1_get_tracknumebr(c_, &track), std::to_string(track));
    }

    tav_id3_context *c_;
    std::set<uint32_t> ids_;
    std::ostringstream out_;
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(1 << 20);
};

// A tag shaped like the benchmark's: text frames, COMM, TXXX, UFID, a picture
// of noise (full of 0xFF bytes) and padding, optionally unsynchronised.
Bytes BenchLikeFile(uint8_t major, bool unsync, size_t picture_kb = 30) {
    std::mt19937 rng(1957);
    Bytes picture(picture_kb * 1024);
    for (auto &b : picture) b = (uint8_t)rng();
    auto frame = major == 4 ? Frame24 : Frame23;
    Bytes frames;
    for (const char *id : {"TIT2", "TPE1", "TALB", "TPE2", "TCON", "TRCK", "TPOS", "TYER", "TCOM", "TCOP", "TENC",
                           "TSRC"})
        frames = Concat({frames, frame(id, Concat({Bytes{0}, Ascii(std::string("value of ") + id)}), 0, 0)});
    frames = Concat({frames, frame("COMM", Concat({Bytes{0}, Ascii("eng"), Bytes{0}, Ascii("note")}), 0, 0),
                     frame("TXXX", Concat({Bytes{0}, Ascii("GAIN"), Bytes{0}, Ascii("-6 dB")}), 0, 0),
                     frame("UFID", Concat({Ascii("owner"), Bytes{0}, Ascii("id-123")}), 0, 0),
                     frame("APIC", Concat({Bytes{0}, Ascii("image/jpeg"), Bytes{0, 3, 0}, picture}), 0, 0)});
    if (unsync) {
        Bytes stuffed;
        for (size_t i = 0; i < frames.size(); ++i) {
            stuffed.push_back(frames[i]);
            if (frames[i] == 0xFF && (i + 1 == frames.size() || frames[i + 1] == 0 || frames[i + 1] >= 0xE0))
                stuffed.push_back(0);
        }
        frames = stuffed;
    }
    return Concat({Id3Header(major, 0, unsync ? 0x80 : 0, (uint32_t)frames.size() + 2048), frames, Bytes(2048, 0),
                   FakeAudio(20)});
}

// The first line where two transcripts part, or "" when they agree.
std::string FirstDifference(const std::string &expected, const std::string &actual) {
    std::istringstream a(expected), b(actual);
    std::string x, y;
    for (int line = 1;; ++line) {
        bool more_a = bool(std::getline(a, x)), more_b = bool(std::getline(b, y));
        if (!more_a && !more_b) return "";
        if (!more_a || !more_b || x != y)
            return "line " + std::to_string(line) + ": plain \"" + (more_a ? x : "<end>") + "\" cached \"" +
                   (more_b ? y : "<end>") + "\"";
    }
}

struct Sample {
    std::string name;
    Bytes bytes;
    bool aiff;
};

// Each content as it is, and, when it starts with a tag, cut inside it and
// with bytes of its first kilobytes scrambled. (Without a tag at the start the
// plain search crawls through the whole content on every call; one copy of
// such a content is enough.)
void AddDamaged(std::vector<Sample> *samples, const std::string &name, const Bytes &bytes, bool aiff) {
    samples->push_back({name, bytes, aiff});
    if (bytes.size() < 3 || !std::equal(bytes.begin(), bytes.begin() + 3, "ID3")) return;
    std::mt19937 rng((uint32_t)bytes.size());
    for (size_t cut : {bytes.size() / 7, bytes.size() / 3, (size_t)24})
        if (cut > 0 && cut < bytes.size()) samples->push_back({name + " cut", Bytes(bytes.begin(), bytes.begin() + cut), aiff});
    for (int round = 0; round < 2; ++round) {
        Bytes scrambled = bytes;
        size_t span = std::min<size_t>(scrambled.size(), 4096);
        // The "ID3" of a tag at the start stays, so that the plain search does
        // not crawl through the whole content for each call.
        for (int i = 0; i < 6 && span > 3; ++i) scrambled[3 + rng() % (span - 3)] = (uint8_t)rng();
        samples->push_back({name + " scrambled", scrambled, aiff});
    }
}

// The benchmark-like tags and the corpus, each with its damaged copies, and a
// file without an ID3v2 tag whose ID3v1 tag follows the audio.
std::vector<Sample> Samples() {
    std::vector<Sample> samples;
    AddDamaged(&samples, "bench v2.3", BenchLikeFile(3, false), false);
    AddDamaged(&samples, "bench v2.4", BenchLikeFile(4, false), false);
    AddDamaged(&samples, "bench unsync", BenchLikeFile(3, true), false);
    // A tag larger than the snapshot's blocks.
    AddDamaged(&samples, "bench big picture", BenchLikeFile(3, true, 150), false);
    Bytes v1(128, ' ');
    std::copy_n("TAGa title", 10, v1.begin());
    samples.push_back({"no ID3v2", Concat({FakeAudio(20), v1}), false});
    if (!CorpusAvailable()) return samples;
    for (const char *folder : {"mediafile", "mutagen", "taglib"}) {
        DIR *dir = opendir(CorpusPath(folder).c_str());
        if (!dir) continue;
        while (dirent *e = readdir(dir)) {
            std::string name = e->d_name;
            if (name[0] == '.') continue;
            bool aiff = name.find(".aif") != std::string::npos;
            AddDamaged(&samples, std::string(folder) + "/" + name, ReadFile(CorpusPath(std::string(folder) + "/" + name)),
                       aiff);
        }
        closedir(dir);
    }
    return samples;
}

} // namespace

TEST(ReadCache, MemoryContentsReadAndWriteAlike) {
    for (const Sample &s : Samples()) {
        if (s.bytes.empty()) continue;
        Context cached, plain;
        ASSERT_EQ(TAV_OK, cached.OpenMemory(s.bytes)) << s.name;
        ASSERT_EQ(TAV_OK, plain.OpenMemory(s.bytes)) << s.name;
        const std::set<uint32_t> ids = IdsToAsk(plain.get());
        std::string expected = Plain([&] { return Transcript(plain.get(), ids).ReadsAndWrites(); });
        EXPECT_EQ("", FirstDifference(expected, Transcript(cached.get(), ids).ReadsAndWrites())) << s.name;
        const tav_id3_memory_content *a = cached->memory, *b = plain->memory;
        EXPECT_EQ(Bytes(b->buffer, b->buffer + b->data_length), Bytes(a->buffer, a->buffer + a->data_length)) << s.name;
    }
}

TEST(ReadCache, FileContentsReadAndWriteAlike) {
    TempDir dir;
    for (const Sample &s : Samples()) {
        // The file test is about the snapshot under the content operations;
        // the memory test covers the rest. Where the plain search finds no
        // tag at the start it crawls through the content with several system
        // calls per byte and per call, so such files (but one) and the
        // damaged copies of corpus files are left to the memory test.
        bool quick = s.bytes.size() >= 3 && std::equal(s.bytes.begin(), s.bytes.begin() + 3, "ID3");
        bool bench = s.name.rfind("bench", 0) == 0;
        bool damaged = s.name.find(" cut") != std::string::npos || s.name.find(" scrambled") != std::string::npos;
        if ((!quick && !s.aiff && s.name != "no ID3v2") || (!bench && damaged)) continue;
        // Read-only opens differ only in what may be written: the benchmark's
        // tags suffice for them.
        for (int32_t mode : {0, 2}) {
            if (mode == 0 && !bench) continue;
            WriteFile(dir.file("cached"), s.bytes);
            WriteFile(dir.file("plain"), s.bytes);
            Context cached, plain;
            int32_t rc = cached.OpenFile(dir.wfile("cached"), mode, s.aiff);
            ASSERT_EQ(rc, Plain([&] { return plain.OpenFile(dir.wfile("plain"), mode, s.aiff); })) << s.name;
            if (rc != TAV_OK) continue;
            const std::set<uint32_t> ids = IdsToAsk(plain.get());
            auto run = [&](Context &c) {
                Transcript t(c.get(), ids);
                return mode == 2 ? t.ReadsAndWrites() : t.Reads();
            };
            std::string expected = Plain([&] { return run(plain); });
            EXPECT_EQ("", FirstDifference(expected, run(cached))) << s.name << " mode " << mode;
            cached.Destroy();
            plain.Destroy();
            EXPECT_EQ(ReadFile(dir.file("plain")), ReadFile(dir.file("cached"))) << s.name << " mode " << mode;
        }
    }
}

// Switching the cache off mid-way (as an armed fault hook does) hands the
// position over to the descriptor: a plain read continues where the cached
// ones stopped, and a write lands where the engine was.
TEST(ReadCache, PositionCarriesOverBetweenCachedAndPlainCalls) {
    TempDir dir;
    Bytes file = BenchLikeFile(3, false);
    WriteFile(dir.file("a.mp3"), file);
    Context c;
    ASSERT_EQ(TAV_OK, c.OpenFile(dir.wfile("a.mp3"), 2));
    tav_id3_v2_frame_header f;
    ASSERT_EQ(TAV_OK, tav_id3_v2_get_frame_header(c.get(), 0x54414C42, 0, &f)); // TALB
    uint8_t byte = 0xAA;
    ASSERT_EQ(1, Plain([&] { return tav_id3_read_content(c.get(), &byte, 1); }));
    EXPECT_EQ(0, byte); // the text encoding byte of TALB's data
    int64_t at = tav_id3_seek_content(c.get(), 0, 1);
    const uint8_t mark[2] = {'X', 'Y'};
    ASSERT_EQ(2, tav_id3_write_content(c.get(), mark, 2));
    ASSERT_EQ(at + 2, Plain([&] { return tav_id3_seek_content(c.get(), 0, 1); }));
    c.Destroy();
    file[at] = 'X';
    file[at + 1] = 'Y';
    EXPECT_EQ(file, ReadFile(dir.file("a.mp3")));
}
