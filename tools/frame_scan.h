// An independent walk over the bytes of one ID3v2 tag, for `check`: it splits
// the tag into frames the way the format lays them out and notes where the
// layout breaks (a frame header that is not one, a frame longer than the tag,
// an extended header that does not fit). Frame data comes back with
// unsynchronisation undone and the extra header bytes (group, encryption
// method, data length) stripped, ready for the payload parsers.
#ifndef TAGMILL_TOOLS_FRAME_SCAN_H
#define TAGMILL_TOOLS_FRAME_SCAN_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tool {

struct ScannedFrame {
    std::string id;     // "TIT2", or three characters in an ID3v2.2 tag
    size_t offset = 0;  // of the frame header, from the start of the tag
    bool opaque = false; // compressed or encrypted: data is as stored
    std::vector<unsigned char> data;
};

struct TagScan {
    int major = 0; // 2, 3 or 4
    std::vector<ScannedFrame> frames;
    std::vector<std::string> problems; // layout faults, in tag order
};

// tag: the 10-byte header and as much of the body as the file holds. When that
// is less than the header's size announces (a truncated file), the walk stops
// quietly at the end of the bytes: the caller reports the truncation once.
TagScan ScanTag(const std::vector<unsigned char> &tag);

} // namespace tool

#endif
