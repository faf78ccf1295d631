// The single-byte text of the tags (ID3v1 fields, encoding-0 text frames, URL
// frames, MIME types, GEOB descriptions) is text in the calling thread's ANSI
// code page. Linux has no such thing and takes ISO-8859-1, where byte n is
// U+00nn; Windows converts through the thread's real code page (1252 in
// Western Europe, 932 in Japan, ...).
#ifndef TAGMILL_PLATFORM_CODE_PAGE_H
#define TAGMILL_PLATFORM_CODE_PAGE_H

#include <cstddef>
#include <string>

// Wide to single-byte, up to the first U+0000. Characters the code page
// lacks become '?'.
std::string tav_ansi_from_wide(const std::wstring &text);

// Single-byte to wide, of the bytes up to the first zero byte or size,
// whichever comes first. Null gives "".
std::wstring tav_wide_from_ansi(const char *bytes, size_t size);

#endif
