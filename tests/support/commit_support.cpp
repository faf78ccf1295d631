// Implementation of the tag inspection helpers for write tests.
#include "support/commit_support.h"

#include <cstdlib>
#include <stdexcept>

namespace testsupport {

namespace {
uint32_t Be(const Bytes &b, size_t at, size_t n) {
    uint32_t v = 0;
    for (size_t i = 0; i < n; ++i) v = (v << 8) | b.at(at + i);
    return v;
}
uint32_t Unsyncsafe(const Bytes &b, size_t at) {
    return (uint32_t(b.at(at)) << 21) | (uint32_t(b.at(at + 1)) << 14) | (uint32_t(b.at(at + 2)) << 7) |
           b.at(at + 3);
}
} // namespace

std::vector<Bytes> ParsedTag::Payloads(const std::string &id) const {
    std::vector<Bytes> out;
    for (const ParsedFrame &f : frames)
        if (f.id == id) out.push_back(f.data);
    return out;
}

ParsedTag ParseTag(const Bytes &content, size_t position) {
    ParsedTag tag;
    if (content.size() < position + 10 || content[position] != 'I' || content[position + 1] != 'D' ||
        content[position + 2] != '3')
        return tag;
    tag.found = true;
    tag.position = position;
    tag.major = content[position + 3];
    tag.flags = content[position + 5];
    tag.size = Unsyncsafe(content, position + 6);
    const size_t end = position + 10 + tag.size;
    size_t pos = position + 10;
    if (tag.major >= 3 && (tag.flags & 0x40))
        pos += (tag.major == 4 ? Unsyncsafe(content, pos) : Be(content, pos, 4) + 4);
    const size_t headerLen = tag.major == 2 ? 6 : 10;
    while (pos + headerLen <= end && content.at(pos) != 0) {
        ParsedFrame f;
        f.id.assign(content.begin() + pos, content.begin() + pos + (tag.major == 2 ? 3 : 4));
        const uint32_t size = tag.major == 2 ? Be(content, pos + 3, 3)
                              : tag.major == 4 ? Unsyncsafe(content, pos + 4)
                                               : Be(content, pos + 4, 4);
        if (pos + headerLen + size > end) throw std::runtime_error("frame runs past the tag");
        f.data.assign(content.begin() + pos + headerLen, content.begin() + pos + headerLen + size);
        tag.frames.push_back(f);
        pos += headerLen + size;
    }
    tag.framesEnd = pos;
    return tag;
}

Bytes Utf16LeBytes(const std::wstring &text) {
    Bytes out;
    auto unit = [&out](uint32_t u) {
        out.push_back(static_cast<uint8_t>(u & 0xFF));
        out.push_back(static_cast<uint8_t>(u >> 8));
    };
    for (wchar_t wc : text) {
        uint32_t c = static_cast<uint32_t>(wc);
        if (c >= 0x10000) {
            c -= 0x10000;
            unit(0xD800 | (c >> 10));
            unit(0xDC00 | (c & 0x3FF));
        } else {
            unit(c);
        }
    }
    return out;
}

Bytes UnicodePayload(const std::wstring &text) {
    return Concat({Bytes{0x01, 0xFF, 0xFE}, Utf16LeBytes(text), Bytes{0x00, 0x00}});
}

Bytes NarrowPayload(const std::string &latin1) { return Concat({Bytes{0x00}, Ascii(latin1), Bytes{0x00}}); }

Bytes Latin1(const std::wstring &text) {
    Bytes out;
    for (wchar_t c : text) out.push_back(static_cast<uint32_t>(c) <= 0xFF ? static_cast<uint8_t>(c) : '?');
    return out;
}

std::string V1Text(const Bytes &content, size_t offset, size_t width) {
    const size_t base = content.size() - 128 + offset;
    std::string out;
    for (size_t i = 0; i < width && content.at(base + i) != 0; ++i) out.push_back(static_cast<char>(content[base + i]));
    return out;
}

Bytes V1Tag(const std::string &title, uint8_t genre, int track) {
    Bytes tag(128, ' ');
    tag[0] = 'T';
    tag[1] = 'A';
    tag[2] = 'G';
    for (size_t i = 0; i < title.size() && i < 30; ++i) tag[3 + i] = static_cast<uint8_t>(title[i]);
    if (title.size() < 30) tag[3 + title.size()] = 0;
    if (track >= 0) {
        tag[125] = 0;
        tag[126] = static_cast<uint8_t>(track);
    }
    tag[127] = genre;
    return tag;
}

Bytes AiffWithTag(const Bytes &tag, const Bytes &sound, size_t *id3ChunkOffset) {
    Bytes comm = Concat({Ascii("COMM"), Be32(18), Bytes{0, 1, 0, 0, 0, 0x10, 0, 16},
                         Bytes{0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}});
    Bytes id3 = Concat({Ascii("ID3 "), Be32(static_cast<uint32_t>(tag.size())), tag});
    if (tag.size() % 2) id3.push_back(0);
    Bytes ssnd = Concat({Ascii("SSND"), Be32(static_cast<uint32_t>(sound.size() + 8)), Bytes(8, 0), sound});
    if (sound.size() % 2) ssnd.push_back(0);
    Bytes body = Concat({Ascii("AIFF"), comm, id3, ssnd});
    if (id3ChunkOffset) *id3ChunkOffset = 8 + 4 + comm.size();
    return Concat({Ascii("FORM"), Be32(static_cast<uint32_t>(body.size())), body});
}

ScopedTmpDir::ScopedTmpDir(const std::string &dir) {
    const char *old = std::getenv("TMPDIR");
    m_had = old != nullptr;
    if (old) m_old = old;
    setenv("TMPDIR", dir.c_str(), 1);
}

ScopedTmpDir::~ScopedTmpDir() {
    if (m_had)
        setenv("TMPDIR", m_old.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

} // namespace testsupport
