// The ANSI code page of Linux builds: ISO-8859-1, byte n is U+00nn and
// anything above U+00FF narrows to '?'.
#include "platform/code_page.h"

#include <cstdint>

std::string tav_ansi_from_wide(const std::wstring &text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        if (wc == 0) break;
        uint32_t c = static_cast<uint32_t>(wc);
        out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    }
    return out;
}

std::wstring tav_wide_from_ansi(const char *bytes, size_t size) {
    std::wstring out;
    if (!bytes) return out;
    for (size_t i = 0; i < size && bytes[i] != 0; ++i)
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i])));
    return out;
}
