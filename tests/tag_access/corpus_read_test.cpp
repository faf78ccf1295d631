// Reading the peer corpus: every string property and the picture of every
// file, compared with what python3-mutagen reads from the same tag
// (peers/read_corpus.py), and a check that opening any file (broken ones
// included) for reading leaves it byte for byte unchanged.
//
// Intended differences from mutagen, which the oracle applies:
// - only the first value of a text frame is read, and only the first frame
//   with a frame ID (mutagen merges repeated frames and splits values);
// - a frame that holds an empty text reads as absent;
// - without an ID3v2 frame, title, artist, album, genre and the first
//   track-number identifier fall back on the ID3v1 tag; the genre byte reads
//   as "(n)" (148 meaning none), a track byte of 0 as "0";
// - only the first picture frame is read, and only when its text encoding is
//   0 or 1; an ID3v2.2 image format of JPG or PNG reads as its MIME type;
// - mutagen looks for the tag at offset 0 only; the oracle points it at a tag
//   after leading junk or one found through its footer at the end.
// Files with other, per-file differences are listed in kKnownDifferences.
#include <sstream>

#include "support/record_props_support.h"
#include "tag_access/mapping.h"

using namespace testsupport;
using namespace tagmill;

namespace {

// Opens a corpus file the way a host would: AIFF files through their chunk,
// everything else as a plain file.
long OpenCorpusFile(CTagmill &tag, const std::string &file, const std::string &path) {
    return file.find(".aif") != std::string::npos ? tag.OpenForAiff(Widen(path), 1) : tag.Open(Widen(path), 1);
}

std::string Utf8Hex(const std::wstring &text) { return Hex(Ascii(Narrow(text))); }

// What the library reads for a property, in the oracle's notation.
std::string Ours(CTagmill &tag, long id) {
    if (id == mapping::kPictureId) {
        std::vector<std::shared_ptr<CTagmill::CPicture>> pictures;
        if (tag.GetBinary(id, pictures) != S_OK) return "-";
        return Utf8Hex(pictures.at(0)->Mime()) + "," + std::to_string(pictures.at(0)->Size());
    }
    std::string out;
    for (const std::wstring &value : Values(tag, id)) out += (out.empty() ? "" : ",") + Utf8Hex(value);
    return out.empty() ? "-" : out;
}

// Files where we read something else than the oracle, and why.
const std::map<std::string, std::set<long>> kKnownDifferences = {
    // TRCK holds 03 32 / 03 34: a one-byte UTF-8 text without its terminator
    // is not readable, so the track number is absent.
    {"mutagen/audacious-trailing-id32-id31.mp3", {4357, 4397}},
    {"mutagen/bad-POPM-frame.mp3", {4357, 4397}},
    // The extended-header flag is set without an extended header; we honour
    // the flag, skip what would be the extended header and find no frames.
    {"mutagen/issue_21.id3", {4357, 4397, 4615, 4616, 4620, 4624}},
    // A RIFF "ID3 " chunk header looks like an ID3v2 header of an unknown
    // version to the byte-wise tag search, which skips it and the tag inside.
    {"mutagen/silence-2s-PCM-16000-08-ID3v23.wav", {4357, 4397, 4615, 4616, 4620, 4624, 4640}},
    {"taglib/duplicate_tags.wav", {4615, 4620, 4624}},
    // Its ID3v2.4 frame sizes are plain integers; read as syncsafe integers
    // (as ID3v2.4 defines them) the walk ends before the text frames.
    {"taglib/005411.id3", {4357, 4397, 4615, 4616, 4620, 4624, 4640}},
    // The junk before the tag contains an MPEG frame sync at offset 297, where
    // the tag search stops: no tag is found at 2047.
    {"taglib/garbage.mp3", {4615, 4624}},
    // Per-frame unsynchronisation (an ID3v2.4 frame flag) is not undone.
    {"taglib/unsynch24.id3", {4615}},
};

TEST(CorpusRead, StringsAndPicturesMatchMutagen) {
    if (!CorpusAvailable()) GTEST_SKIP() << "the peer corpus is not there";
    if (!HaveMutagen()) GTEST_SKIP() << "python3 with python3-mutagen is missing: no reference reader";
    std::vector<long> ids;
    std::string rows, args;
    for (size_t r = 0; r < mapping::kTableSize; ++r) {
        const mapping::Row &row = mapping::kTable[r];
        if (row.kind != mapping::Kind::String && row.kind != mapping::Kind::Picture) continue;
        ids.push_back(row.propertyId);
        const Bytes id = Be32(row.frameV23);
        rows += (rows.empty() ? "" : ",") + std::to_string(row.propertyId) + ":" + std::string(id.begin(), id.end());
    }
    const std::vector<std::string> files = CorpusFiles();
    for (const std::string &file : files) args += " '" + CorpusPath(file) + "'";
    std::string out;
    ASSERT_TRUE(RunPeerScript("read_corpus.py", rows + args, &out));
    std::map<std::string, std::map<long, std::string>> expected; // path -> property -> values
    std::istringstream lines(out);
    for (std::string path, id, values; lines >> path >> id;)
        if (id != "REJECTED" && lines >> values) expected[path][std::stol(id)] = values;

    size_t compared = 0;
    for (const std::string &file : files) {
        const auto oracle = expected.find(CorpusPath(file));
        if (oracle == expected.end()) continue; // rejected: only the robustness test below
        CTagmill tag;
        const long hr = OpenCorpusFile(tag, file, CorpusPath(file));
        std::set<long> differing;
        for (long id : ids) {
            compared += oracle->second.at(id) != "-";
            if ((hr == S_OK ? Ours(tag, id) : "-") != oracle->second.at(id)) differing.insert(id);
        }
        const auto known = kKnownDifferences.find(file);
        EXPECT_EQ(known == kKnownDifferences.end() ? std::set<long>{} : known->second, differing)
            << file << " (open result " << ResultName(hr) << ")";
    }
    EXPECT_GT(compared, 150u) << "the oracle read next to nothing";
}

TEST(CorpusRead, ReadingNeverChangesAFile) {
    if (!CorpusAvailable()) GTEST_SKIP() << "the peer corpus is not there";
    TempDir dir;
    for (const std::string &file : CorpusFiles()) {
        const Bytes before = ReadFile(CorpusPath(file));
        const std::string copy = dir.file("copy");
        WriteFile(copy, before);
        for (bool fromMemory : {false, true}) {
            CTagmill tag;
            Bytes memory = before;
            const long hr = fromMemory ? tag.OpenFromMemory(memory.data(), unsigned(memory.size()), 1)
                                       : OpenCorpusFile(tag, file, copy);
            for (size_t r = 0; hr == S_OK && r < mapping::kTableSize; ++r) Values(tag, mapping::kTable[r].propertyId);
            EXPECT_EQ(tag.Close(), S_OK) << file;
            EXPECT_EQ(memory, before) << file;
        }
        EXPECT_EQ(ReadFile(copy), before) << file;
    }
}

} // namespace
