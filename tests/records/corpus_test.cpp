// Payloads from real files written by other taggers: the frames of each tag
// are extracted, parsed by the records, and compared with what the peer
// reader (python3-mutagen) makes of the same tag, line by line.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "record_test_util.h"
#include "support/frame_extract.h"
#include "tagmill/tagmill.h"

using namespace tagmill;
using namespace testsupport;

namespace {

// One line per picture (text encodings 0 and 1 only, as picture frames
// allow), user-defined text, comment and unique file identifier of the tag at
// offset argv[2] of file argv[1]; strings as UTF-8 hex, "-" when empty.
const char *const kOracle = R"PY(
import io, sys
from mutagen.id3 import ID3
b = open(sys.argv[1], "rb").read(); o = int(sys.argv[2])
size = 10 + ((b[o+6] & 127) << 21 | (b[o+7] & 127) << 14 | (b[o+8] & 127) << 7 | (b[o+9] & 127))
t = ID3(io.BytesIO(b[o:o+size]), translate=False)
def h(s): return s.encode("utf-8").hex() or "-"
def fnv(d):
    x = 2166136261
    for c in d: x = ((x ^ c) * 16777619) & 0xffffffff
    return x
for f in t.values():
    n = type(f).__name__
    if n == "APIC" and int(f.encoding) <= 1:
        m = f.mime if t.version >= (2, 3, 0) else {"JPG": "image/jpeg", "PNG": "image/png"}.get(f.mime, "")
        print("APIC", h(m), len(f.data), fnv(f.data))
    elif n == "TXXX": print("TXXX", h(f.desc), h(f.text[0] if f.text else ""))
    elif n == "COMM": print("COMM", h(f.lang), h(f.desc), h(f.text[0] if f.text else ""))
    elif n == "UFID": print("UFID", h(f.owner), len(f.data))
)PY";

std::string RunCommand(const std::string &command, int *status) {
    std::string out;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    for (int c; (c = std::fgetc(pipe)) != EOF;) out += static_cast<char>(c);
    *status = pclose(pipe);
    return out;
}

std::string Hex(const std::string &bytes) {
    std::string out;
    for (unsigned char c : bytes) out += "0123456789abcdef"[c >> 4], out += "0123456789abcdef"[c & 15];
    return out.empty() ? "-" : out;
}

uint32_t Fnv(const Bytes &data) {
    uint32_t x = 2166136261u;
    for (uint8_t c : data) x = (x ^ c) * 16777619u;
    return x;
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
        Bytes data(static_cast<size_t>(picture.Size()));
        unsigned char *buffer = data.data();
        long copied = picture.Size();
        picture.GetData(&buffer, copied);
        return "APIC " + Hex(Narrow(picture.Mime())) + " " + std::to_string(copied) + " " + std::to_string(Fnv(data));
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
    if (frame.id == "UFID" || frame.id == "UFI") {
        // Only 64-byte identifiers are music IDs here; the others are refused.
        size_t zero = 0;
        while (zero < p.size() && p[zero] != 0) ++zero;
        const size_t length = zero < p.size() ? p.size() - zero - 1 : 0;
        CTagmill::CMusicId id;
        EXPECT_EQ(length == 64 ? S_OK : E_INVALIDARG, id.ParseFrameData(p.data(), size));
        return "UFID " + Hex(std::string(p.begin(), p.begin() + zero)) + " " + std::to_string(length);
    }
    return "";
}

size_t FindTag(const Bytes &file) {
    for (size_t i = 0; i + 10 <= file.size(); ++i) {
        if (file[i] == 'I' && file[i + 1] == 'D' && file[i + 2] == '3' && file[i + 3] >= 2 && file[i + 3] <= 4)
            return i;
    }
    return file.size();
}

struct CorpusTag {
    const char *file;
    size_t skip;  // bytes before the tag search starts (a second tag)
    // Where the readers part ways: a line only the peer reader gives, and one
    // only the records give ("" for none).
    const char *peerOnly;
    const char *oursOnly;
};

class CorpusRecords : public ::testing::TestWithParam<CorpusTag> {};

TEST_P(CorpusRecords, AgreeWithPeerReader) {
    const std::string path = CorpusPath(GetParam().file);
    if (!FileExists(path)) GTEST_SKIP() << "corpus file missing: " << path;
    int status = -1;
    RunCommand("/usr/bin/python3 -c 'import mutagen' 2>&1", &status);
    if (status != 0) GTEST_SKIP() << "python3-mutagen is not installed";

    const Bytes file = ReadFile(path);
    const Bytes tail(file.begin() + GetParam().skip, file.end());
    const size_t offset = FindTag(tail);
    ASSERT_LT(offset, tail.size());
    std::set<std::string> ours, frames;
    for (const TagFrame &frame : ExtractTag(tail, offset).frames) {
        if (frame.payload.empty()) continue;
        std::string line = RecordLine(frame);
        if (!line.empty()) ours.insert(line);
        frames.insert(frame.id);
    }
    ASSERT_FALSE(frames.empty());

    const std::string oracle = RunCommand("/usr/bin/python3 -c '" + std::string(kOracle) + "' '" + path + "' " +
                                       std::to_string(GetParam().skip + offset),
                                   &status);
    ASSERT_EQ(0, status) << "the peer reader failed on " << path;
    std::set<std::string> expected;
    for (size_t at = 0, end; (end = oracle.find('\n', at)) != std::string::npos; at = end + 1)
        expected.insert(oracle.substr(at, end - at));
    if (*GetParam().peerOnly) {
        EXPECT_EQ(1u, expected.erase(GetParam().peerOnly));
    }
    if (*GetParam().oursOnly) expected.insert(GetParam().oursOnly);
    EXPECT_EQ(expected, ours);
}

INSTANTIATE_TEST_SUITE_P(
    Files, CorpusRecords,
    ::testing::Values(
        CorpusTag{"taglib/rare_frames.mp3", 0, "", ""}, CorpusTag{"taglib/itunes10.mp3", 0, "", ""},
        CorpusTag{"taglib/duplicate_id3v2.mp3", 1, "", ""}, CorpusTag{"taglib/lame_cbr.mp3", 0, "", ""},
        // A comment frame with no text at all, which the peer reader drops.
        CorpusTag{"taglib/005411.id3", 0, "", "COMM 656e67 - -"},
        CorpusTag{"taglib/garbage.mp3", 0, "", ""}, CorpusTag{"taglib/broken-tenc.id3", 0, "", ""},
        CorpusTag{"mediafile/image.mp3", 0, "", ""}, CorpusTag{"mediafile/image_unknown_type.mp3", 0, "", ""},
        CorpusTag{"mediafile/full.mp3", 0, "", ""}, CorpusTag{"mediafile/cbr.mp3", 0, "", ""},
        CorpusTag{"mediafile/bpm.mp3", 0, "", ""}, CorpusTag{"mediafile/partial.mp3", 0, "", ""},
        // UTF-8 comments with an empty description: the one-byte field is too
        // short to decode, so the record refuses the frame.
        CorpusTag{"mediafile/full.aiff", 0, "COMM 000000 - 74686520636f6d6d656e7473", ""},
        CorpusTag{"mutagen/bad-POPM-frame.mp3", 0, "COMM 202020 - 68c3a47374", ""},
        CorpusTag{"mutagen/id3v22-test.mp3", 0, "", ""}, CorpusTag{"mutagen/bad-xing.mp3", 0, "", ""},
        CorpusTag{"mutagen/vbri.mp3", 0, "", ""}, CorpusTag{"mutagen/id3v1v2-combined.mp3", 0, "", ""}),
    [](const ::testing::TestParamInfo<CorpusTag> &info) {
        std::string name = info.param.file;
        for (char &c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

} // namespace
