// Wide path <-> UTF-8 conversion, the file behind a symbolic link, and
// hidden names beside a path. Paths are stored on the file system as UTF-8;
// inside the library they are strings of code points.
#include "platform/paths.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <cwchar>

#include "tagmill/platform.h"

namespace {

const uint32_t kReplacement = 0xFFFD;

bool IsEncodable(uint32_t c) { return c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF); }

void AppendUtf8(std::string &out, uint32_t c) {
    if (!IsEncodable(c)) c = kReplacement;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one sequence at s[i]; returns its length, or 0 when malformed
// (truncated, stray continuation byte, overlong form, surrogate, too large).
size_t DecodeOne(const std::string &s, size_t i, uint32_t *cp) {
    unsigned char lead = static_cast<unsigned char>(s[i]);
    size_t n;
    uint32_t c, min;
    if (lead < 0x80) { *cp = lead; return 1; }
    if ((lead & 0xE0) == 0xC0) { n = 2; c = lead & 0x1F; min = 0x80; }
    else if ((lead & 0xF0) == 0xE0) { n = 3; c = lead & 0x0F; min = 0x800; }
    else if ((lead & 0xF8) == 0xF0) { n = 4; c = lead & 0x07; min = 0x10000; }
    else return 0;
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        unsigned char b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || !IsEncodable(c)) return 0;
    *cp = c;
    return n;
}

} // namespace

std::string tav_path_to_utf8(const wchar_t *path) {
    std::string out;
    if (!path) return out;
    for (const wchar_t *p = path; *p; ++p) AppendUtf8(out, static_cast<uint32_t>(*p));
    return out;
}

std::wstring tav_path_from_utf8(const std::string &path) {
    std::wstring out;
    for (size_t i = 0; i < path.size();) {
        uint32_t cp = kReplacement;
        size_t n = DecodeOne(path, i, &cp);
        out += static_cast<wchar_t>(n ? cp : kReplacement);
        i += n ? n : 1;
    }
    return out;
}

std::string tav_resolve_links(const std::string &path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char *real = realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string resolved = real;
    free(real);
    return resolved;
}

void tav_split_path(const std::string &path, std::string *directory, std::string *base) {
    size_t slash = path.rfind('/');
    *directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    *base = slash == std::string::npos ? path : path.substr(slash + 1);
}

uint32_t tav_resolve_path(const wchar_t *path, wchar_t *out, uint32_t length) {
    if (!path || !out || length == 0) return 0;
    const std::string target = tav_resolve_links(tav_path_to_utf8(path));
    std::wstring resolved = tav_path_from_utf8(target);
    // A target whose name is not UTF-8 has no wide form that leads back to it.
    if (tav_path_to_utf8(resolved.c_str()) != target) resolved = path;
    if (resolved.size() + 1 > length) return 0;
    std::wmemcpy(out, resolved.c_str(), resolved.size() + 1);
    return static_cast<uint32_t>(resolved.size());
}

bool tav_stat_size(const wchar_t *path, int64_t *size) {
    if (!path || !size) return false;
    struct stat st;
    if (stat(tav_path_to_utf8(path).c_str(), &st) != 0) return false;
    *size = static_cast<int64_t>(st.st_size);
    return true;
}

uint32_t tav_hidden_sibling(const wchar_t *path, const wchar_t *suffix, wchar_t *out, uint32_t length) {
    if (!path || !suffix || !out || length == 0) return 0;
    std::wstring p = path;
    size_t slash = p.rfind(L'/');
    size_t base = slash == std::wstring::npos ? 0 : slash + 1;
    if (base == p.size()) return 0;
    std::wstring hidden = p.substr(0, base) + L"." + p.substr(base) + suffix;
    if (hidden.size() + 1 > length) return 0;
    std::wcsncpy(out, hidden.c_str(), hidden.size() + 1);
    return static_cast<uint32_t>(hidden.size());
}
