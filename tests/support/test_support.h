// Helpers shared by the test programs: a scratch directory that cleans up after
// itself, a scoped $TMPDIR, whole-file reads and writes, wide paths, opening a
// byte image through the class, the corpus location, and byte builders for
// hand-made tags, frames, text payloads and AIFF forms.
#ifndef TAGMILL_TEST_SUPPORT_H
#define TAGMILL_TEST_SUPPORT_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tagmill/tagmill.h"

namespace testsupport {

using Bytes = std::vector<uint8_t>;

// A fresh directory under $TMPDIR (or /tmp), removed with its contents on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
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
    ScopedTmpDir &operator=(const ScopedTmpDir &) = delete;

private:
    bool m_had;
    std::string m_old;
};

// Opens a copy of the bytes as a memory content (open mode 1).
long OpenBytes(CTagmill &tag, Bytes bytes);
// GetString's values, with its result in *hr.
std::vector<std::wstring> Values(CTagmill &tag, long propertyId, long *hr = nullptr);

// Path of a file in ../shared/corpus, and whether the corpus is there.
std::string CorpusPath(const std::string &relative);
bool CorpusAvailable();

// Names of files starting with "id3" in the temporary directory ($TMPDIR or /tmp).
std::vector<std::string> TempFilesWithPrefix(const std::string &directory, const std::string &prefix = "id3");

// Byte-string builders for hand-made tags.
Bytes Ascii(const std::string &text);
Bytes Concat(std::initializer_list<Bytes> parts);
Bytes Syncsafe(uint32_t value);
Bytes Be32(uint32_t value);
// A 10-byte ID3v2 header: "ID3", major, revision, flags, syncsafe size.
Bytes Id3Header(uint8_t major, uint8_t revision, uint8_t flags, uint32_t size);
// An ID3v2.3 frame (plain size) / ID3v2.4 frame (syncsafe size) / ID3v2.2 frame.
Bytes Frame23(const std::string &id, const Bytes &data, uint8_t flags1 = 0, uint8_t flags2 = 0);
Bytes Frame24(const std::string &id, const Bytes &data, uint8_t flags1 = 0, uint8_t flags2 = 0);
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
Bytes Latin1Text(const std::string &text, bool terminated = false);
Bytes Utf16Text(const std::wstring &text, bool terminated = false);
Bytes Utf16LeBytes(const std::wstring &text);
// Code points narrowed to Latin-1 bytes, '?' above U+00FF.
Bytes Latin1(const std::wstring &text);
// An AIFF-style file: "FORM", a size (form size when given, else the real
// one), the form type, then the chunks as given, each padded to even length.
struct Chunk {
    std::string id;
    Bytes body;
    bool pad = true;
};
Bytes Form(const std::string &type, const std::vector<Chunk> &chunks, int64_t form_size = -1);
// A COMM chunk body: one channel, 16 sample frames of 16 bits, 44.1 kHz.
Bytes AiffComm();

// A plausible run of MPEG audio: `frames` frames of 417 bytes starting FF FB 90 00.
Bytes FakeAudio(size_t frames = 4);

} // namespace testsupport

#endif
