// Test-only tag readers: the ID3v2 tag at an offset of a file's bytes (v2.2,
// v2.3 or v2.4) parsed into its header fields and frames, and ID3v1 text
// fields, an independent view of written and real tags to compare with.
#ifndef TAGMILL_TEST_FRAME_EXTRACT_H
#define TAGMILL_TEST_FRAME_EXTRACT_H

#include <cstddef>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace testsupport {

// id: "TIT2", or "TT2" in a 2.2 tag
struct ParsedFrame { std::string id; Bytes data; };

struct ParsedTag {
    bool found = false;
    size_t position = 0;
    uint8_t major = 0;
    uint8_t flags = 0;
    uint32_t size = 0;      // header size field
    size_t framesEnd = 0;   // offset just past the last frame (tags without unsynchronisation)
    std::vector<ParsedFrame> frames;
    size_t length() const { return 10 + size; } // header + body, footer excluded
    std::vector<Bytes> Payloads(const std::string &id) const;
    FrameList List() const; // every frame's ID and data, in order
};

// The tag whose header starts at `position`. Undoes tag-level
// unsynchronisation, skips an extended header, drops data-length indicators
// and grouping bytes, undoes per-frame unsynchronisation (v2.4) and leaves out
// compressed or encrypted frames. A v2.4 tag whose syncsafe frame sizes lead
// nowhere is walked again with plain sizes, as some taggers wrote them.
ParsedTag ParseTag(const Bytes &content, size_t position = 0);

// ID3v1 (the file's last 128 bytes): a text field's bytes up to its first zero byte.
std::string V1Text(const Bytes &content, size_t offset, size_t width = 30);

} // namespace testsupport

#endif
