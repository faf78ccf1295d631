// UTF-8 decoding and encoding for arguments, file names and printed values.
#include "utf8.h"

namespace tool {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the sequence announced by a lead byte and the bits it carries; 0 for
// a byte that cannot start a sequence.
int SequenceLength(unsigned char lead, char32_t &bits) {
    if (lead < 0x80) { bits = lead; return 1; }
    if (lead >= 0xC2 && lead <= 0xDF) { bits = lead & 0x1F; return 2; }
    if (lead >= 0xE0 && lead <= 0xEF) { bits = lead & 0x0F; return 3; }
    if (lead >= 0xF0 && lead <= 0xF4) { bits = lead & 0x07; return 4; }
    return 0;
}

bool IsValidCodePoint(char32_t cp, int length) {
    static const char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[length]) return false; // overlong form
    if (cp >= 0xD800 && cp <= 0xDFFF) return false;
    return cp <= 0x10FFFF;
}

// Where wchar_t has 16 bits (Windows) wide strings are UTF-16.
void AppendWide(std::wstring &out, char32_t cp) {
    if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
        out.push_back(static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<wchar_t>(cp));
    }
}

char32_t NextCodePoint(const std::wstring &wide, size_t &i) {
    char32_t cp = static_cast<char32_t>(wide[i++]);
    if (sizeof(wchar_t) == 2 && cp >= 0xD800 && cp <= 0xDBFF && i < wide.size()) {
        const char32_t low = static_cast<char32_t>(wide[i]);
        if (low >= 0xDC00 && low <= 0xDFFF) {
            ++i;
            return 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    return cp;
}

} // namespace

std::wstring Widen(const std::string &utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = 0;
        const int length = SequenceLength(static_cast<unsigned char>(utf8[i]), cp);
        if (length == 0) {
            out.push_back(static_cast<wchar_t>(kReplacement));
            ++i;
            continue;
        }
        int taken = 1;
        while (taken < length && i + taken < utf8.size() &&
               IsContinuation(static_cast<unsigned char>(utf8[i + taken]))) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + taken]) & 0x3F);
            ++taken;
        }
        if (taken < length || !IsValidCodePoint(cp, length)) cp = kReplacement;
        AppendWide(out, cp);
        i += taken;
    }
    return out;
}

std::string Narrow(const std::wstring &wide) {
    std::string out;
    out.reserve(wide.size());
    for (size_t i = 0; i < wide.size();) {
        char32_t cp = NextCodePoint(wide, i);
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacement;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::string Latin1ToUtf8(const std::string &latin1) {
    std::wstring wide;
    wide.reserve(latin1.size());
    for (char c : latin1) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return Narrow(wide);
}

std::string Utf16ToUtf8(const unsigned char *data, size_t size, bool bigEndian) {
    auto unit = [&](size_t i) -> char32_t {
        return bigEndian ? char32_t(data[i]) << 8 | data[i + 1] : char32_t(data[i + 1]) << 8 | data[i];
    };
    std::wstring wide;
    for (size_t i = 0; i + 1 < size; i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < size && unit(i + 2) >= 0xDC00 && unit(i + 2) <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        wide.push_back(static_cast<wchar_t>(cp));
    }
    if (size % 2) wide.push_back(static_cast<wchar_t>(kReplacement));
    return Narrow(wide);
}

} // namespace tool
