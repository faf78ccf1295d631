// Helpers shared by the test programs: a scratch directory that cleans up after
// itself, a scoped $TMPDIR, whole-file reads and writes, wide paths, opening a
// byte image through the class, the corpus location, and byte builders for
// hand-made tags, frames, text payloads and AIFF forms. Test files take
// GoogleTest and the standard headers they share from here.
#ifndef TAGMILL_TEST_SUPPORT_H
#define TAGMILL_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tagmill/tagmill.h"

namespace testsupport {

using Bytes = std::vector<uint8_t>;
using Strings = std::vector<std::wstring>;

// A fresh directory under $TMPDIR (or /tmp), removed with its contents on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    const std::string &path() const { return m_path; }
    std::string file(const std::string &name) const { return m_path + "/" + name; }
    std::wstring wfile(const std::string &name) const;

private:
    std::string m_path;
};

Bytes ReadFile(const std::string &path); // throws when the file cannot be read
void WriteFile(const std::string &path, const Bytes &bytes);
bool FileExists(const std::string &path);
// Creates one directory (private where the system has permission bits); true
// when it was created.
bool MakeDirectory(const std::string &path);
std::wstring Widen(const std::string &utf8);      // UTF-8 to code points
std::string Narrow(const std::wstring &wide);     // code points to UTF-8

// Sets $TMPDIR for the lifetime of the object.
class ScopedTmpDir {
public:
    explicit ScopedTmpDir(const std::string &dir);
    ~ScopedTmpDir();
    ScopedTmpDir(const ScopedTmpDir &) = delete;

private:
    bool m_had;
    std::string m_old;
};

// Opens a copy of the bytes as a memory content (open mode 1).
inline long OpenBytes(CTagmill &tag, Bytes bytes) {
    return tag.OpenFromMemory(bytes.data(), static_cast<unsigned int>(bytes.size()), 1);
}
// GetString's values, with its result in *hr.
std::vector<std::wstring> Values(CTagmill &tag, long propertyId, long *hr = nullptr);

// Writes content to a scratch file, opens it with Open(path, mode), runs puts
// and closes (both expected to succeed); returns the file's bytes.
Bytes CommitFile(const Bytes &content, const std::function<void(CTagmill &)> &puts, long mode = 2);

// Path of a file in ../shared/corpus, and whether the corpus is there.
inline std::string CorpusPath(const std::string &relative) { return std::string(TAGMILL_CORPUS_DIR) + "/" + relative; }
bool CorpusAvailable();
// The corpus files ("taglib/noise.aif", ...) as its SHA256SUMS lists them.
std::vector<std::string> CorpusFiles();

// Names of files starting with "id3" in the temporary directory ($TMPDIR or /tmp).
std::vector<std::string> TempFilesWithPrefix(const std::string &directory, const std::string &prefix = "id3");

// Byte-string builders for hand-made tags.
inline Bytes Ascii(const std::string &text) { return Bytes(text.begin(), text.end()); }
Bytes Concat(std::initializer_list<Bytes> parts);
Bytes Syncsafe(uint32_t value);
inline Bytes Be32(uint32_t v) { return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }
// A 10-byte ID3v2 header: "ID3", major, revision, flags, syncsafe size.
inline Bytes Id3Header(uint8_t major, uint8_t revision, uint8_t flags, uint32_t size) {
    return Concat({Ascii("ID3"), Bytes{major, revision, flags}, Syncsafe(size)});
}
// A header followed by the body, the size field giving the body's length.
inline Bytes Id3Tag(uint8_t major, const Bytes &body, uint8_t flags = 0) {
    return Concat({Id3Header(major, 0, flags, static_cast<uint32_t>(body.size())), body});
}
// The bytes unsynchronised: a zero after each FF followed by 00 or a byte from E0, or ending the bytes.
Bytes Unsynchronise(const Bytes &bytes);
// An ID3v2.3 frame (plain size) / ID3v2.4 frame (syncsafe size) / ID3v2.2 frame.
inline Bytes Frame23(const std::string &id, const Bytes &data, uint8_t flags1 = 0, uint8_t flags2 = 0) {
    return Concat({Ascii(id), Be32(static_cast<uint32_t>(data.size())), Bytes{flags1, flags2}, data});
}
inline Bytes Frame24(const std::string &id, const Bytes &data, uint8_t flags1 = 0, uint8_t flags2 = 0) {
    return Concat({Ascii(id), Syncsafe(static_cast<uint32_t>(data.size())), Bytes{flags1, flags2}, data});
}
Bytes Frame22(const std::string &id, const Bytes &data);

using FrameList = std::vector<std::pair<std::string, Bytes>>;
// A whole ID3v2 tag of major version 2, 3 or 4 holding the frames in order,
// followed by padding zero bytes.
Bytes TagV2(int major, const FrameList &frames, size_t padding = 16);
// A 128-byte ID3v1 tag, unused text bytes zero, the year blank; track < 0
// gives ID3v1.0 (byte 125 not zero).
Bytes TagV1(const std::string &title, const std::string &artist = "", const std::string &album = "",
            uint8_t genre = 255, int track = -1);

// Text payloads: 00 then Latin-1, or 01 FF FE then UTF-16LE (surrogate pairs
// above U+FFFF); terminated adds the 00 or 00 00 the library writes.
inline Bytes Latin1Text(const std::string &text, bool terminated = false) {
    return Concat({Bytes{0x00}, Ascii(text), terminated ? Bytes{0x00} : Bytes{}});
}
Bytes Utf16LeBytes(const std::wstring &text);
inline Bytes Utf16Text(const std::wstring &text, bool terminated = false) {
    return Concat({Bytes{0x01, 0xFF, 0xFE}, Utf16LeBytes(text), terminated ? Bytes{0x00, 0x00} : Bytes{}});
}
// Code points narrowed to Latin-1 bytes, '?' above U+00FF.
Bytes Latin1(const std::wstring &text);
// An AIFF-style file: "FORM", a size (form size when given, else the real
// one), the form type, then the chunks as given, each padded to even length.
struct Chunk { std::string id; Bytes body; bool pad = true; };
Bytes Form(const std::string &type, const std::vector<Chunk> &chunks, int64_t form_size = -1);
// A COMM chunk body: one channel, 16 sample frames of 16 bits, 44.1 kHz (the
// rate as an 80-bit extended float: 0x400E AC44... is 44100).
inline Bytes AiffComm() { return Bytes{0, 1, 0, 0, 0, 0x10, 0, 16, 0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}; }

// A plausible run of MPEG audio: `frames` frames of 417 bytes starting FF FB 90 00.
Bytes FakeAudio(size_t frames = 4);

} // namespace testsupport

#endif
