// Helpers shared by the test programs: a scratch directory that cleans up after
// itself, whole-file reads and writes, wide paths, and the corpus location.
#ifndef TAGMILL_TEST_SUPPORT_H
#define TAGMILL_TEST_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

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

Bytes ReadFile(const std::string &path);
void WriteFile(const std::string &path, const Bytes &bytes);
bool FileExists(const std::string &path);
std::wstring Widen(const std::string &utf8);      // UTF-8 to code points
std::string Narrow(const std::wstring &wide);     // code points to UTF-8

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
// A plausible run of MPEG audio: `frames` frames of 417 bytes starting FF FB 90 00.
Bytes FakeAudio(size_t frames = 4);

} // namespace testsupport

#endif
