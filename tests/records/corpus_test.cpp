// Payloads from real files written by other taggers: the frames of each tag
// are extracted, parsed by the records, and compared line by line with what
// the peer reader (python3-mutagen) makes of the same tag.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "support/frame_extract.h"
#include "support/record_props_support.h"
#include "tagmill/tagmill.h"

using namespace tagmill;
using namespace testsupport;

namespace {

// For each argument "file:offset", one line per picture (text encodings 0 and
// 1 only, as picture frames allow; MIME type and size), user-defined text and
// comment of the tag at that offset, led by the argument's index; strings as
// UTF-8 hex, "-" when empty. (The corpus holds no 64-byte unique file
// identifier, so no music ID to compare.)
const char kOracle[] = R"PY(
import io, sys
from mutagen.id3 import ID3
def h(s): return s.encode("utf-8").hex() or "-"
for i, arg in enumerate(sys.argv[1:]):
    path, o = arg.rsplit(":", 1)
    b = open(path, "rb").read(); o = int(o)
    size = 10 + ((b[o+6] & 127) << 21 | (b[o+7] & 127) << 14 | (b[o+8] & 127) << 7 | (b[o+9] & 127))
    t = ID3(io.BytesIO(b[o:o+size]), translate=False)
    for f in t.values():
        n = type(f).__name__
        if n == "APIC" and int(f.encoding) <= 1:
            m = f.mime if t.version >= (2, 3, 0) else {"JPG": "image/jpeg", "PNG": "image/png"}.get(f.mime, "")
            print(i, "APIC", h(m), len(f.data))
        elif n == "TXXX": print(i, "TXXX", h(f.desc), h(f.text[0] if f.text else ""))
        elif n == "COMM": print(i, "COMM", h(f.lang), h(f.desc), h(f.text[0] if f.text else ""))
)PY";

std::string Hex(const std::string &bytes) {
    std::string out;
    for (unsigned char c : bytes) out += "0123456789abcdef"[c >> 4], out += "0123456789abcdef"[c & 15];
    return out.empty() ? "-" : out;
}

// The line of one frame as the records read it; "" when the record refuses
// the frame (pictures must then carry a text encoding other than 0 and 1).
std::string RecordLine(const TagFrame &frame) {
    const Bytes &p = frame.payload;
    const long size = static_cast<long>(p.size());
    if (frame.id == "APIC" || frame.id == "PIC") {
        CTagmill::CPicture picture;
        const long hr = frame.id == "PIC" ? picture.SetPIC(p.data(), size) : picture.SetAPIC(p.data(), size);
        EXPECT_EQ(p[0] > 1 ? E_FAIL : S_OK, hr);
        if (Failed(hr)) return "";
        return "APIC " + Hex(Narrow(picture.Mime())) + " " + std::to_string(picture.Size());
    }
    const bool comment = frame.id == "COMM" || frame.id == "COM";
    if (comment || frame.id == "TXXX" || frame.id == "TXX") {
        CTagmill::CUserDefinedString record;
        if (Failed(record.ParseFrameData(p.data(), size, comment))) return "";
        std::wstring description, value;
        unsigned char language[3];
        record.GetDescription(description);
        record.GetData(value);
        record.GetLanguage(language);
        return std::string(comment ? "COMM " + Hex(std::string(language, language + 3)) + " " : "TXXX ") +
               Hex(Narrow(description)) + " " + Hex(Narrow(value));
    }
    return "";
}

// The first ID3v2 header from `from` on ("ID3" and a major version 2 to 4, so
// that an AIFF "ID3 " chunk ID is passed over).
size_t FindTag(const Bytes &file, size_t from) {
    for (size_t i = from; i + 10 <= file.size(); ++i) {
        if (file[i] == 'I' && file[i + 1] == 'D' && file[i + 2] == '3' && file[i + 3] >= 2 && file[i + 3] <= 4)
            return i;
    }
    return file.size();
}

struct CorpusTag {
    const char *file;
    size_t skip; // bytes before the tag search starts (to reach a second tag)
    // Where the readers part ways: a line only the peer reader gives, and one
    // only the records give ("" for none).
    const char *peerOnly, *oursOnly;
};

const CorpusTag kTags[] = {
    {"taglib/rare_frames.mp3", 0, "", ""},
    {"taglib/itunes10.mp3", 0, "", ""},
    {"taglib/duplicate_id3v2.mp3", 1, "", ""},
    {"taglib/lame_cbr.mp3", 0, "", ""},
    // A comment frame with no text at all, which the peer reader drops.
    {"taglib/005411.id3", 0, "", "COMM 656e67 - -"},
    {"taglib/garbage.mp3", 0, "", ""},
    {"taglib/broken-tenc.id3", 0, "", ""},
    {"mediafile/image.mp3", 0, "", ""},
    {"mediafile/image_unknown_type.mp3", 0, "", ""},
    {"mediafile/full.mp3", 0, "", ""},
    {"mediafile/cbr.mp3", 0, "", ""},
    {"mediafile/bpm.mp3", 0, "", ""},
    {"mediafile/partial.mp3", 0, "", ""},
    // UTF-8 comments with an empty description: the one-byte field is too
    // short to decode, so the record refuses the frame.
    {"mediafile/full.aiff", 0, "COMM 000000 - 74686520636f6d6d656e7473", ""},
    {"mutagen/bad-POPM-frame.mp3", 0, "COMM 202020 - 68c3a47374", ""},
    {"mutagen/id3v22-test.mp3", 0, "", ""},
    {"mutagen/bad-xing.mp3", 0, "", ""},
    {"mutagen/vbri.mp3", 0, "", ""},
    {"mutagen/id3v1v2-combined.mp3", 0, "", ""},
};

TEST(CorpusRecords, AgreeWithPeerReader) {
    if (!CorpusAvailable()) GTEST_SKIP() << "the peer corpus is not there";
    if (!HaveMutagen()) GTEST_SKIP() << "python3-mutagen is not installed";
    std::vector<std::set<std::string>> ours, peer(std::size(kTags));
    std::string args;
    for (const CorpusTag &c : kTags) {
        const Bytes file = ReadFile(CorpusPath(c.file));
        const size_t offset = FindTag(file, c.skip);
        ASSERT_LT(offset, file.size()) << c.file;
        const ExtractedTag tag = ExtractTag(file, offset);
        ASSERT_FALSE(tag.frames.empty()) << c.file;
        ours.emplace_back();
        for (const TagFrame &frame : tag.frames) {
            const std::string line = frame.payload.empty() ? "" : RecordLine(frame);
            if (!line.empty()) ours.back().insert(line);
        }
        args += " '" + CorpusPath(c.file) + ":" + std::to_string(offset) + "'";
    }
    std::string out;
    ASSERT_TRUE(RunPython(kOracle, args, &out)) << "the peer reader failed";
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        peer.at(std::stoul(line)).insert(line.substr(line.find(' ') + 1));

    for (size_t i = 0; i < std::size(kTags); ++i) {
        SCOPED_TRACE(kTags[i].file);
        if (*kTags[i].peerOnly) {
            EXPECT_EQ(1u, peer[i].erase(kTags[i].peerOnly));
        }
        if (*kTags[i].oursOnly) peer[i].insert(kTags[i].oursOnly);
        EXPECT_EQ(peer[i], ours[i]);
    }
}

} // namespace
