// Fuzz target: the text conversions, directly and through the class: a
// memory tag with one title frame whose payload is the input, read with each
// text encoding byte. Decoded text must hold Unicode scalar values only and
// survive a re-encoding unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tag_access/text_codec.h"
#include "tagmill/tagmill.h"

namespace {

namespace text = tagmill::text;

[[noreturn]] void Fail(const char *what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

void CheckScalarValues(const std::wstring &s) {
    for (wchar_t wc : s) {
        const uint32_t c = static_cast<uint32_t>(wc);
        if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) Fail("decoded text holds a non-scalar value");
    }
}

// Decoded text (scalar values, no U+0000) re-encodes losslessly.
void CheckRoundTrips(const std::wstring &s) {
    CheckScalarValues(s);
    std::vector<unsigned char> utf16;
    text::AppendUtf16Le(utf16, s);
    if (utf16.size() != 2 * text::Utf16Length(s)) Fail("UTF-16 length disagrees");
    if (text::DecodeUtf16(utf16.data(), utf16.size(), false) != s) Fail("UTF-16 round trip");
    const std::string utf8 = text::ToUtf8(s);
    if (text::DecodeUtf8(reinterpret_cast<const unsigned char *>(utf8.data()), utf8.size()) != s)
        Fail("UTF-8 round trip");
    const std::string narrow = text::ToLatin1(s);
    if (narrow.size() != s.size()) Fail("narrowing changed the length");
}

void Direct(const unsigned char *data, size_t size) {
    CheckRoundTrips(text::DecodeUtf16(data, size, false));
    CheckRoundTrips(text::DecodeUtf16(data, size, true));
    CheckRoundTrips(text::DecodeUtf8(data, size));
    const std::wstring wide = text::FromLatin1(reinterpret_cast<const char *>(data), size);
    CheckRoundTrips(wide);
    const std::string narrow = text::ToLatin1(wide);
    if (narrow != std::string(reinterpret_cast<const char *>(data), wide.size())) Fail("ISO-8859-1 round trip");

    // Arbitrary wide characters (surrogates, beyond U+10FFFF, negative) are
    // encoded as U+FFFD and must decode to scalar values.
    std::wstring arbitrary;
    for (size_t i = 0; i + 4 <= size; i += 4)
        arbitrary.push_back(static_cast<wchar_t>(uint32_t(data[i]) << 24 | uint32_t(data[i + 1]) << 16 |
                                                 uint32_t(data[i + 2]) << 8 | data[i + 3]));
    std::vector<unsigned char> utf16;
    text::AppendUtf16Le(utf16, arbitrary);
    if (utf16.size() != 2 * text::Utf16Length(arbitrary)) Fail("UTF-16 length of arbitrary text");
    CheckScalarValues(text::DecodeUtf16(utf16.data(), utf16.size(), false));
    const std::string utf8 = text::ToUtf8(arbitrary);
    CheckScalarValues(text::DecodeUtf8(reinterpret_cast<const unsigned char *>(utf8.data()), utf8.size()));
}

void PutSize(std::vector<unsigned char> &out, size_t at, uint32_t value, bool syncsafe, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[at + i] = static_cast<unsigned char>(syncsafe ? value & 0x7F : value & 0xFF);
        value >>= syncsafe ? 7 : 8;
    }
}

// A tag of the given major version holding one title frame: encoding, data.
std::vector<unsigned char> TitleTag(int major, unsigned char encoding, const unsigned char *data, size_t size) {
    const bool v22 = major == 2;
    const size_t header = v22 ? 6 : 10;
    std::vector<unsigned char> tag = {'I', 'D', '3', static_cast<unsigned char>(major), 0, 0, 0, 0, 0, 0};
    const size_t frameAt = tag.size();
    tag.resize(frameAt + header, 0);
    const char *id = v22 ? "TT2" : "TIT2";
    std::copy(id, id + (v22 ? 3 : 4), tag.begin() + frameAt);
    const uint32_t frameSize = static_cast<uint32_t>(size + 1);
    PutSize(tag, frameAt + (v22 ? 3 : 4), frameSize, major == 4, v22 ? 3 : 4);
    tag.push_back(encoding);
    tag.insert(tag.end(), data, data + size);
    tag.resize(tag.size() + 16, 0); // padding
    PutSize(tag, 6, static_cast<uint32_t>(tag.size() - 10), true, 4);
    return tag;
}

void ThroughTheClass(const unsigned char *data, size_t size) {
    if (size > 0x100000) return;
    const int major = 2 + (size ? data[0] % 3 : 0);
    for (unsigned char encoding : {0, 1, 2, 3, 4}) {
        std::vector<unsigned char> tag = TitleTag(major, encoding, data, size);
        CTagmill object;
        if (object.OpenFromMemory(tag.data(), static_cast<unsigned int>(tag.size()), 1) != tagmill::S_OK)
            Fail("a well-formed title tag does not open");
        std::vector<std::wstring> values;
        if (object.GetString(4615, values) == tagmill::S_OK)
            for (const auto &value : values) CheckScalarValues(value);
        object.Close();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<unsigned char> bytes(data, data + size);
    const unsigned char *in = size ? bytes.data() : reinterpret_cast<const unsigned char *>("");
    Direct(in, size);
    ThroughTheClass(in, size);
    return 0;
}
