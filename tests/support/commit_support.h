// Helpers for tests that write tags and inspect the result byte by byte: an
// independent ID3v2 tag parser (no unsynchronisation: the library never writes
// it), the ID3v1 fields, the text payload layouts, AIFF forms, and a scoped
// $TMPDIR.
#ifndef TAGMILL_TEST_COMMIT_SUPPORT_H
#define TAGMILL_TEST_COMMIT_SUPPORT_H

#include <string>
#include <vector>

#include "support/test_support.h"

namespace testsupport {

struct ParsedFrame {
    std::string id; // "TIT2", or "TT2" in a 2.2 tag
    Bytes data;
};

struct ParsedTag {
    bool found = false;
    size_t position = 0;
    uint8_t major = 0;
    uint8_t flags = 0;
    uint32_t size = 0;      // header size field
    size_t framesEnd = 0;   // offset just past the last frame
    std::vector<ParsedFrame> frames;
    size_t length() const { return 10 + size; } // header + body, footer excluded
    std::vector<Bytes> Payloads(const std::string &id) const;
};

// Parses the tag whose header starts at position (frames up to the padding).
ParsedTag ParseTag(const Bytes &content, size_t position = 0);

// Text payloads as the library writes them: 01 FF FE UTF-16LE 00 00, and
// 00 Latin-1 00.
Bytes Utf16LeBytes(const std::wstring &text);
Bytes UnicodePayload(const std::wstring &text);
Bytes NarrowPayload(const std::string &latin1);
Bytes Latin1(const std::wstring &text);

// ID3v1: a text field's bytes up to its first zero byte.
std::string V1Text(const Bytes &content, size_t offset, size_t width = 30);
Bytes V1Tag(const std::string &title, uint8_t genre = 255, int track = -1);

// An AIFF form: COMM, then an "ID3 " chunk holding tag (padded to even), then
// an SSND chunk with sound. soundOffset receives where the SSND chunk begins.
Bytes AiffWithTag(const Bytes &tag, const Bytes &sound, size_t *id3ChunkOffset = nullptr);

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

} // namespace testsupport

#endif
