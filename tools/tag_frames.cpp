// Frame listing over the engine. The engine walks the frames and hands out each
// frame's header record and data; the two flag bytes as stored come from the
// raw tag, because the record reads every tag with the ID3v2.3 flag layout,
// and an ID3v2.4 frame's own layout says what its data still carries:
//   2.3 second flag byte: 0x80 compressed (4-byte length first), 0x40
//       encrypted (method byte), 0x20 grouped (group byte);
//   2.4 second flag byte: 0x40 grouped (group byte), 0x08 compressed, 0x04
//       encrypted (method byte), 0x02 unsynchronised, 0x01 data length
//       indicator (4-byte synchsafe length); extra bytes in that order.
// The engine strips the 2.3 extras; 2.4 data is finished here.
#include "tag_frames.h"

#include <algorithm>

#include "utf8.h"

namespace tool {

namespace {

struct Walked {
    tav_id3_v2_frame_header header;
    uint32_t position;
    uint32_t length;
};

int Collect(const tav_id3_v2_frame_header *frame, uint32_t position, uint32_t length, void *user) {
    static_cast<std::vector<Walked> *>(user)->push_back({*frame, position, length});
    return 0;
}

std::string IdText(uint32_t id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8)
        if (const char c = static_cast<char>(id >> shift & 0xFF)) text.push_back(c >= 0x20 && c < 0x7F ? c : '?');
    return text;
}

// Drops the zero byte an encoder puts after every 0xFF.
std::vector<unsigned char> Deunsync(const std::vector<unsigned char> &bytes, size_t from) {
    std::vector<unsigned char> out(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(from));
    for (size_t i = from; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0x00) ++i;
    }
    return out;
}

// The tag as the engine counts positions: unsynchronisation undone after the
// 10-byte header.
std::vector<unsigned char> LogicalTag(tav_id3_context &context, const tav_id3_v2_header &header) {
    uint8_t *buffer = nullptr;
    uint32_t size = 0;
    if (tav_id3_get_id3tag(&context, nullptr, &size) != TAV_OK || size == 0) return {};
    buffer = static_cast<uint8_t *>(tav_rud_malloc(size));
    if (!buffer) return {};
    std::vector<unsigned char> tag;
    if (tav_id3_get_id3tag(&context, &buffer, &size) == TAV_OK) tag.assign(buffer, buffer + size);
    tav_rud_free(buffer);
    return header.unsynchronisation ? Deunsync(tag, std::min<size_t>(10, tag.size())) : tag;
}

void FinishV24Data(TagFrame &frame) {
    const unsigned char f = frame.flags[1];
    frame.opaque = (f & 0x0C) != 0;
    // The engine took one byte for 0x40 (it reads it as an encryption method)
    // and four for 0x80 (unused in 2.4): what remains is the 2.4 extras.
    const size_t extra = (f & 0x04 ? 1 : 0) + (f & 0x01 ? 4 : 0);
    if (extra > frame.data.size()) {
        frame.data.clear();
        frame.readable = false;
        return;
    }
    frame.data.erase(frame.data.begin(), frame.data.begin() + static_cast<std::ptrdiff_t>(extra));
    if (f & 0x02) frame.data = Deunsync(frame.data, 0);
}

} // namespace

ReadContext::~ReadContext() {
    if (m_open) tav_id3_destroy_context(&m_context);
}

int32_t ReadContext::Open(const std::string &path, bool aiff) {
    const std::wstring wide = Widen(path);
    tav_id3_v2_header none{};
    const int32_t created = tav_id3_create_context2(wide.c_str(), 0, &none, aiff ? 1 : 0, &m_context);
    m_open = created == TAV_OK;
    return created;
}

int32_t ReadTagFrames(tav_id3_context &context, TagFrames &out) {
    out = TagFrames{};
    int32_t rc = tav_id3_v2_get_header(&context, &out.header);
    if (rc != TAV_OK) return rc;
    out.major = out.header.version == TAV_ID3_V22 ? 2 : out.header.version == TAV_ID3_V23 ? 3
              : out.header.version == TAV_ID3_V24 ? 4 : 0;
    std::vector<Walked> walked;
    // A walk that fails part-way (a tag cut off by the end of the file) still
    // gives the frames before the failure.
    const int32_t walk = tav_id3_v2_enum_frames(&context, Collect, &walked);
    const std::vector<unsigned char> tag = LogicalTag(context, out.header);
    const uint32_t tagStart = static_cast<uint32_t>(out.header.position);
    const uint64_t areaEnd = 10 + static_cast<uint64_t>(out.header.size);
    const uint32_t headerLength = out.major == 2 ? 6 : 10;
    out.frameAreaStart = walked.empty() ? 10 : walked.front().position - tagStart;
    std::vector<std::pair<uint32_t, uint32_t>> seen; // frame ID, frames with it so far
    for (const Walked &w : walked) {
        TagFrame frame;
        frame.id = IdText(w.header.id);
        frame.offset = w.position - tagStart;
        frame.size = w.length - headerLength;
        frame.overruns = frame.offset + uint64_t(w.length) > areaEnd;
        if (out.major >= 3 && frame.offset + 10 <= tag.size())
            std::copy_n(tag.begin() + frame.offset + 8, 2, frame.flags);
        frame.opaque = w.header.compression || w.header.encryption;

        auto count = std::find_if(seen.begin(), seen.end(), [&](const auto &s) { return s.first == w.header.id; });
        if (count == seen.end()) count = seen.insert(seen.end(), {w.header.id, 0});
        const uint32_t index = count->second++;
        uint32_t dataSize = 0;
        tav_id3_v2_get_frame_data_offset(&context, w.header.id, index, &frame.dataOffset, &dataSize);
        // A frame that runs past the tag gets the bytes the tag has left.
        const uint64_t left = areaEnd > frame.offset + uint64_t(headerLength) ? areaEnd - frame.offset - headerLength : 0;
        uint32_t size = static_cast<uint32_t>(std::min<uint64_t>(w.header.size, left));
        frame.data.resize(size);
        if (size > 0 && tav_id3_v2_get_frame_data(&context, w.header.id, index, &size, frame.data.data()) != TAV_OK) {
            size = 0;
            frame.readable = false;
        }
        frame.data.resize(size);
        if (out.major == 4 && frame.readable) FinishV24Data(frame);
        out.frames.push_back(std::move(frame));
    }
    return walk;
}

std::vector<std::string> FrameFlagNames(int major, const unsigned char flags[2]) {
    struct Bit {
        int byte;
        unsigned char mask;
        const char *name;
    };
    static const Bit kV23[] = {{0, 0x80, "tag_alter"},   {0, 0x40, "file_alter"},  {0, 0x20, "read_only"},
                               {1, 0x80, "compression"}, {1, 0x40, "encryption"},  {1, 0x20, "grouping"}};
    static const Bit kV24[] = {{0, 0x40, "tag_alter"},   {0, 0x20, "file_alter"},  {0, 0x10, "read_only"},
                               {1, 0x40, "grouping"},    {1, 0x08, "compression"}, {1, 0x04, "encryption"},
                               {1, 0x02, "unsynchronisation"}, {1, 0x01, "data_length"}};
    std::vector<std::string> names;
    if (major == 3)
        for (const Bit &b : kV23) if (flags[b.byte] & b.mask) names.push_back(b.name);
    if (major == 4)
        for (const Bit &b : kV24) if (flags[b.byte] & b.mask) names.push_back(b.name);
    return names;
}

} // namespace tool
