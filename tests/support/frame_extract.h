// Test-only ID3v2 reader: walks the tag at an offset of a file's bytes
// (v2.2, v2.3 or v2.4) and returns its frames' IDs and payloads, an
// independent view of real tags to compare the library's results with.
#ifndef TAGMILL_TEST_FRAME_EXTRACT_H
#define TAGMILL_TEST_FRAME_EXTRACT_H

#include <cstddef>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace testsupport {

struct TagFrame {
    std::string id;
    Bytes payload;
};

struct ExtractedTag {
    int major = 0;  // 2, 3 or 4; 0 when no tag was found
    std::vector<TagFrame> frames;
};

// Frames of the tag at `offset`. Undoes tag-level unsynchronisation, skips an
// extended header, drops data-length indicators and grouping bytes, undoes
// per-frame unsynchronisation (v2.4) and leaves out compressed or encrypted
// frames. A v2.4 tag whose syncsafe frame sizes lead nowhere is walked again
// with plain sizes, as some taggers wrote them.
ExtractedTag ExtractTag(const Bytes &file, size_t offset = 0);

} // namespace testsupport

#endif
