// The test-only tag readers: the ID3v2 frame walker behind ParseTag, and V1Text.
#include "support/frame_extract.h"

#include <algorithm>
#include <cstdint>

namespace testsupport {

namespace {

// A big-endian number of n bytes, each holding `bits` bits (7 for syncsafe).
uint32_t Be(const Bytes &b, size_t at, size_t n, int bits = 8) {
    uint32_t v = 0;
    for (size_t i = 0; i < n; ++i) v = (v << bits) | (b[at + i] & ((1u << bits) - 1));
    return v;
}

Bytes Resync(const Bytes &in) {
    Bytes out;
    for (size_t i = 0; i < in.size(); ++i) {
        out.push_back(in[i]);
        if (in[i] == 0xFF && i + 1 < in.size() && in[i + 1] == 0x00) ++i;
    }
    return out;
}

// Walks frames from *at, leaving it where the walk stopped; returns false when
// that is neither padding nor the end of the body.
bool Walk(const Bytes &body, size_t *at, int major, bool syncsafeSizes, std::vector<ParsedFrame> &frames) {
    size_t &pos = *at;
    const size_t idLen = major == 2 ? 3 : 4;
    const size_t headerLen = major == 2 ? 6 : 10;
    while (pos + headerLen <= body.size()) {
        if (body[pos] == 0) return true;  // padding
        const auto idChar = [](uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
        if (!std::all_of(body.begin() + pos, body.begin() + pos + idLen, idChar)) return false;
        uint32_t size = major == 2 ? Be(body, pos + 3, 3)
                        : syncsafeSizes ? Be(body, pos + 4, 4, 7) : Be(body, pos + 4, 4);
        uint8_t flags = major == 2 ? 0 : body[pos + 9];
        size_t start = pos + headerLen;
        if (size > body.size() - start) return false;
        ParsedFrame frame{std::string(body.begin() + pos, body.begin() + pos + idLen),
                          Bytes(body.begin() + start, body.begin() + start + size)};
        pos = start + size;
        // Compressed or encrypted frames, and frames too short for the extra
        // bytes their flags announce (group byte, 2.4 data-length), are left out.
        const bool skip = (flags & (major == 3 ? 0xC0 : 0x0C)) != 0; // 2.2 frames have no flags
        const size_t extra = major == 3 ? (flags >> 5 & 1) : (flags >> 6 & 1) + (flags & 1) * 4;
        if (skip || extra > frame.data.size()) continue;
        frame.data.erase(frame.data.begin(), frame.data.begin() + extra);
        if (major == 4 && (flags & 0x02)) frame.data = Resync(frame.data);
        frames.push_back(std::move(frame));
    }
    return true;
}

} // namespace

std::vector<Bytes> ParsedTag::Payloads(const std::string &id) const {
    std::vector<Bytes> out;
    for (const ParsedFrame &f : frames)
        if (f.id == id) out.push_back(f.data);
    return out;
}

FrameList ParsedTag::List() const {
    FrameList out;
    for (const ParsedFrame &f : frames) out.emplace_back(f.id, f.data);
    return out;
}

ParsedTag ParseTag(const Bytes &file, size_t offset) {
    ParsedTag tag;
    if (offset + 10 > file.size() || file[offset] != 'I' || file[offset + 1] != 'D' || file[offset + 2] != '3')
        return tag;
    const int major = file[offset + 3];
    if (major < 2 || major > 4) return tag;
    tag.found = true;
    tag.position = offset;
    tag.major = static_cast<uint8_t>(major);
    tag.flags = file[offset + 5];
    tag.size = Be(file, offset + 6, 4, 7);
    const size_t begin = offset + 10, size = std::min<size_t>(tag.size, file.size() - begin);
    Bytes body(file.begin() + begin, file.begin() + begin + size);
    if ((tag.flags & 0x80) && major < 4) body = Resync(body);

    size_t start = 0;
    if (major >= 3 && (tag.flags & 0x40) && body.size() >= 4)
        start = major == 3 ? 4 + Be(body, 0, 4) : Be(body, 0, 4, 7);
    size_t end = start;
    if (!Walk(body, &end, major, major == 4, tag.frames) && major == 4) {
        std::vector<ParsedFrame> plain;
        size_t plainEnd = start;
        if (Walk(body, &plainEnd, major, false, plain)) {
            tag.frames = std::move(plain);
            end = plainEnd;
        }
    }
    tag.framesEnd = begin + end;
    return tag;
}

std::string V1Text(const Bytes &content, size_t offset, size_t width) {
    const size_t base = content.size() - 128 + offset;
    std::string out;
    for (size_t i = 0; i < width && content.at(base + i) != 0; ++i) out.push_back(static_cast<char>(content[base + i]));
    return out;
}

} // namespace testsupport
