// Text conversions of the class layer: the ANSI code page both ways (the
// platform's), UTF-16 code units with surrogate pairs, and UTF-8. Every
// decoder is total: malformed input becomes U+FFFD and no decoder throws
// anything but std::bad_alloc. A wide string holds one code point per
// wchar_t where wchar_t has 32 bits (Linux) and UTF-16 where it has 16
// (Windows); the two helpers below are the only code that tells them apart.
#include "tag_access/text_codec.h"

#include <cstdint>

#include "platform/code_page.h"

namespace tagmill {
namespace text {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }
bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

// The code point that starts at text[i], advancing i past it; U+FFFD for what
// is not a Unicode scalar value (a lone surrogate, or beyond U+10FFFF; wchar_t
// may be signed).
char32_t NextScalar(const std::wstring &text, size_t &i) {
    char32_t c = static_cast<char32_t>(static_cast<uint32_t>(text[i++])) & (kWideIsUtf16 ? 0xFFFF : 0xFFFFFFFF);
    if (kWideIsUtf16 && IsHighSurrogate(c) && i < text.size()) {
        char32_t low = static_cast<char32_t>(text[i]) & 0xFFFF;
        if (IsLowSurrogate(low)) {
            ++i;
            return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    return (IsSurrogate(c) || c > 0x10FFFF) ? kReplacement : c;
}

void AppendScalar(std::wstring &out, char32_t c) {
    if (kWideIsUtf16 && c >= 0x10000) {
        c -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
    } else {
        out.push_back(static_cast<wchar_t>(c));
    }
}

void PutUnitLe(std::vector<unsigned char> &out, char32_t unit) {
    out.push_back(static_cast<unsigned char>(unit & 0xFF));
    out.push_back(static_cast<unsigned char>(unit >> 8));
}

// Length of the UTF-8 sequence that a lead byte announces, 0 for a byte that
// cannot start one (a continuation byte, C0/C1 overlong leads, F5..FF).
int Utf8SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// Whether b may follow the lead byte as the second byte of a sequence. The
// narrower ranges after E0, ED, F0 and F4 exclude overlong forms, surrogates
// and code points above U+10FFFF.
bool ValidSecondByte(unsigned char lead, unsigned char b) {
    switch (lead) {
    case 0xE0: return b >= 0xA0 && b <= 0xBF;
    case 0xED: return b >= 0x80 && b <= 0x9F;
    case 0xF0: return b >= 0x90 && b <= 0xBF;
    case 0xF4: return b >= 0x80 && b <= 0x8F;
    default: return b >= 0x80 && b <= 0xBF;
    }
}

} // namespace

std::string ToLatin1(const std::wstring &text) { return tav_ansi_from_wide(text); }

std::wstring FromLatin1(const char *bytes, size_t size) { return tav_wide_from_ansi(bytes, size); }

void AppendUtf16Le(std::vector<unsigned char> &out, const std::wstring &text) {
    out.reserve(out.size() + 2 * Utf16Length(text));
    for (size_t i = 0; i < text.size();) {
        char32_t c = NextScalar(text, i);
        if (c < 0x10000) {
            PutUnitLe(out, c);
        } else {
            c -= 0x10000;
            PutUnitLe(out, 0xD800 + (c >> 10));
            PutUnitLe(out, 0xDC00 + (c & 0x3FF));
        }
    }
}

size_t Utf16Length(const std::wstring &text) {
    size_t units = 0;
    for (size_t i = 0; i < text.size();) units += NextScalar(text, i) >= 0x10000 ? 2 : 1;
    return units;
}

std::wstring DecodeUtf16(const unsigned char *data, size_t size, bool bigEndian) {
    std::wstring out;
    if (!data) return out;
    const size_t units = size / 2;
    auto unitAt = [&](size_t i) -> char32_t {
        unsigned char a = data[2 * i], b = data[2 * i + 1];
        return bigEndian ? (char32_t(a) << 8 | b) : (char32_t(b) << 8 | a);
    };
    for (size_t i = 0; i < units; ++i) {
        char32_t u = unitAt(i);
        if (u == 0) break;
        if (IsHighSurrogate(u) && i + 1 < units && IsLowSurrogate(unitAt(i + 1))) {
            char32_t low = unitAt(++i);
            AppendScalar(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        } else {
            out.push_back(static_cast<wchar_t>(IsSurrogate(u) ? kReplacement : u));
        }
    }
    return out;
}

std::wstring DecodeUtf8(const unsigned char *data, size_t size) {
    std::wstring out;
    if (!data) return out;
    size_t i = 0;
    while (i < size && data[i] != 0) {
        const unsigned char lead = data[i];
        const int length = Utf8SequenceLength(lead);
        if (length == 1) {
            out.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        if (length == 0) {
            out.push_back(static_cast<wchar_t>(kReplacement));
            ++i;
            continue;
        }
        // Take continuation bytes while they fit; a sequence that breaks off
        // is replaced as a whole by one U+FFFD and decoding resumes at the
        // byte that broke it (the maximal-subpart rule).
        char32_t c = lead & (0xFF >> (length + 1));
        int taken = 1;
        while (taken < length && i + taken < size) {
            unsigned char b = data[i + taken];
            bool ok = taken == 1 ? ValidSecondByte(lead, b) : (b >= 0x80 && b <= 0xBF);
            if (!ok) break;
            c = (c << 6) | (b & 0x3F);
            ++taken;
        }
        AppendScalar(out, taken == length ? c : kReplacement);
        i += taken;
    }
    return out;
}

std::string ToUtf8(const std::wstring &text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t c = NextScalar(text, i);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

} // namespace text
} // namespace tagmill
