// Implementation of the read-path test helpers.
#include "support/read_support.h"

namespace testsupport {

Bytes TagV2(int major, const FrameList &frames, size_t padding) {
    Bytes body;
    for (const auto &frame : frames) {
        Bytes f = major == 2 ? Frame22(frame.first, frame.second)
                  : major == 3 ? Frame23(frame.first, frame.second)
                               : Frame24(frame.first, frame.second);
        body.insert(body.end(), f.begin(), f.end());
    }
    body.resize(body.size() + padding, 0);
    return Concat({Id3Header(static_cast<uint8_t>(major), 0, 0, static_cast<uint32_t>(body.size())), body});
}

Bytes TagV1(const std::string &title, const std::string &artist, const std::string &album, uint8_t genre,
            int track) {
    Bytes tag(128, 0);
    tag[0] = 'T'; tag[1] = 'A'; tag[2] = 'G';
    auto put = [&](size_t offset, const std::string &text) {
        for (size_t i = 0; i < text.size() && i < 30; ++i) tag[offset + i] = static_cast<uint8_t>(text[i]);
    };
    put(3, title);
    put(33, artist);
    put(63, album);
    for (size_t i = 93; i < 97; ++i) tag[i] = ' ';
    if (track >= 0) {
        tag[125] = 0;
        tag[126] = static_cast<uint8_t>(track);
    } else {
        tag[125] = ' ';
    }
    tag[127] = genre;
    return tag;
}

Bytes Latin1Text(const std::string &text) { return Concat({Bytes{0x00}, Ascii(text)}); }

Bytes Utf16Text(const std::wstring &text) {
    Bytes out{0x01, 0xFF, 0xFE};
    for (wchar_t c : text) {
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
    }
    return out;
}

long OpenBytes(CTagmill &tag, Bytes bytes) {
    return tag.OpenFromMemory(bytes.data(), static_cast<unsigned int>(bytes.size()), 1);
}

std::vector<std::wstring> Values(CTagmill &tag, long propertyId, long *hr) {
    std::vector<std::wstring> values;
    long result = tag.GetString(propertyId, values);
    if (hr) *hr = result;
    return values;
}

} // namespace testsupport
