// The ANSI code page of Windows builds: the calling thread's (CP_THREAD_ACP),
// through the system's converters. A double-byte code page (932, 936, ...)
// gives two bytes for many characters, so lengths are the converter's, never
// the character count.
#include "platform/code_page.h"

#include <windows.h>

#include <climits>
#include <cwchar>

std::string tav_ansi_from_wide(const std::wstring &text) {
    std::string out;
    const size_t end = text.find(L'\0');
    const size_t length = end == std::wstring::npos ? text.size() : end;
    if (length == 0 || length > INT_MAX) return out;
    const int units = static_cast<int>(length);
    int needed = WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return out;
    out.resize(static_cast<size_t>(needed));
    needed = WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), units, &out[0], needed, nullptr, nullptr);
    out.resize(needed > 0 ? static_cast<size_t>(needed) : 0);
    return out;
}

std::wstring tav_wide_from_ansi(const char *bytes, size_t size) {
    std::wstring out;
    if (!bytes) return out;
    size_t length = 0;
    while (length < size && bytes[length] != 0) ++length;
    if (length == 0 || length > INT_MAX) return out;
    const int count = static_cast<int>(length);
    int needed = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes, count, nullptr, 0);
    if (needed <= 0) return out;
    out.resize(static_cast<size_t>(needed));
    needed = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes, count, &out[0], needed);
    out.resize(needed > 0 ? static_cast<size_t>(needed) : 0);
    return out;
}
