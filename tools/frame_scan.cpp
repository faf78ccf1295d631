// Frame layout by version:
//   2.2: 3-byte ID, 3-byte size, no flags.
//   2.3: 4-byte ID, 4-byte size, 2 flag bytes; compression adds a 4-byte
//        length, encryption a method byte, grouping a group byte.
//   2.4: 4-byte ID, synchsafe size, 2 flag bytes; grouping adds a group byte,
//        encryption a method byte, the data-length flag a synchsafe length;
//        frame data may be unsynchronised frame by frame.
// In 2.2 and 2.3 unsynchronisation covers the whole body after the header.
#include "frame_scan.h"

#include <cstdio>

namespace tool {

namespace {

uint32_t Be(const unsigned char *b, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | b[i];
    return v;
}

uint32_t Synchsafe(const unsigned char *b) {
    return uint32_t(b[0] & 0x7F) << 21 | uint32_t(b[1] & 0x7F) << 14 | uint32_t(b[2] & 0x7F) << 7 | (b[3] & 0x7F);
}

// Drops the zero byte an encoder puts after every 0xFF.
std::vector<unsigned char> Deunsync(const unsigned char *data, size_t size) {
    std::vector<unsigned char> out;
    out.reserve(size);
    for (size_t i = 0; i < size; ++i) {
        out.push_back(data[i]);
        if (data[i] == 0xFF && i + 1 < size && data[i + 1] == 0x00) ++i;
    }
    return out;
}

bool IsIdChar(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

std::string Where(size_t offset) {
    char text[48];
    std::snprintf(text, sizeof text, "at tag offset %zu", offset);
    return text;
}

// Strips what the format flags put before the data; false when the frame is
// too short to hold it.
bool StripExtras(int major, unsigned char formatFlags, std::vector<unsigned char> &data, bool &opaque) {
    size_t extra = 0;
    if (major == 3) {
        extra = (formatFlags & 0x80 ? 4 : 0) + (formatFlags & 0x40 ? 1 : 0) + (formatFlags & 0x20 ? 1 : 0);
        opaque = (formatFlags & 0xC0) != 0;
    } else if (major == 4) {
        extra = (formatFlags & 0x40 ? 1 : 0) + (formatFlags & 0x04 ? 1 : 0) + (formatFlags & 0x01 ? 4 : 0);
        opaque = (formatFlags & 0x0C) != 0;
    }
    if (extra > data.size()) return false;
    data.erase(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(extra));
    return true;
}

// Where the frames start: after the header and any extended header.
bool FramesStart(const std::vector<unsigned char> &body, int major, bool extended, size_t &start,
                 std::vector<std::string> &problems) {
    start = 0;
    if (!extended || major == 2) return true;
    if (body.size() < 4) {
        problems.push_back("the extended header is cut off");
        return false;
    }
    // 2.3 counts the bytes after the size field; 2.4 the whole extended header.
    const size_t size = major == 3 ? Be(body.data(), 4) + 4 : Synchsafe(body.data());
    if (size < 6 || size > body.size()) {
        problems.push_back("the extended header's size (" + std::to_string(size) + ") does not fit in the tag");
        return false;
    }
    start = size;
    return true;
}

} // namespace

TagScan ScanTag(const std::vector<unsigned char> &tag) {
    TagScan scan;
    if (tag.size() < 10) return scan;
    scan.major = tag[3];
    const unsigned char flags = tag[5];
    const size_t declaredEnd = 10 + size_t(Synchsafe(tag.data() + 6));
    const size_t available = tag.size() < declaredEnd ? tag.size() : declaredEnd;
    std::vector<unsigned char> body(tag.begin() + 10, tag.begin() + static_cast<std::ptrdiff_t>(available));
    const bool tagUnsync = (flags & 0x80) != 0;
    if (tagUnsync && scan.major < 4) body = Deunsync(body.data(), body.size());
    const bool truncated = tag.size() < declaredEnd;

    size_t at = 0;
    if (!FramesStart(body, scan.major, (flags & 0x40) && scan.major != 2, at, scan.problems)) return scan;
    const int idLength = scan.major == 2 ? 3 : 4;
    const size_t headerLength = scan.major == 2 ? 6 : 10;
    while (at + headerLength <= body.size()) {
        const unsigned char *h = body.data() + at;
        if (h[0] == 0) break; // padding
        bool valid = true;
        for (int i = 0; i < idLength; ++i) valid = valid && IsIdChar(h[i]);
        if (!valid) {
            scan.problems.push_back("the bytes " + Where(at + 10) + " are neither a frame header nor padding");
            return scan;
        }
        ScannedFrame frame;
        frame.id.assign(reinterpret_cast<const char *>(h), idLength);
        frame.offset = at + 10;
        const size_t size = scan.major == 2 ? Be(h + 3, 3) : scan.major == 3 ? Be(h + 4, 4) : Synchsafe(h + 4);
        if (at + headerLength + size > body.size()) {
            if (!truncated)
                scan.problems.push_back("frame " + frame.id + " " + Where(frame.offset) + " claims " +
                                        std::to_string(size) + " bytes, more than the tag has left");
            return scan;
        }
        frame.data.assign(h + headerLength, h + headerLength + size);
        const unsigned char formatFlags = scan.major == 2 ? 0 : h[9];
        if (scan.major == 4 && ((formatFlags & 0x02) || tagUnsync))
            frame.data = Deunsync(frame.data.data(), frame.data.size());
        if (!StripExtras(scan.major, formatFlags, frame.data, frame.opaque)) {
            scan.problems.push_back("frame " + frame.id + " " + Where(frame.offset) +
                                    " is too short for the extra bytes its flags announce");
            frame.data.clear();
            frame.opaque = true;
        }
        scan.frames.push_back(std::move(frame));
        at += headerLength + size;
    }
    return scan;
}

} // namespace tool
