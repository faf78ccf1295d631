// UTF-8 <-> wide conversion for the command-line program (and the
// interoperability programs, whose jobs carry UTF-8 too): arguments and file
// names arrive as UTF-8 bytes, the library speaks wide strings (one code point
// per wchar_t on Linux, UTF-16 on Windows).
#ifndef TAGMILL_TOOLS_UTF8_H
#define TAGMILL_TOOLS_UTF8_H

#include <cstddef>
#include <string>

namespace tool {

// Decodes UTF-8; a malformed or overlong sequence becomes U+FFFD.
std::wstring Widen(const std::string &utf8);
// Encodes code points as UTF-8; surrogates and values above U+10FFFF become U+FFFD,
// so the result is always valid UTF-8 (JSON output depends on that).
std::string Narrow(const std::wstring &wide);
// Single-byte ISO-8859-1 text (byte n is U+00nn), as the library keeps MIME
// types and owner identifiers, encoded as UTF-8.
std::string Latin1ToUtf8(const std::string &latin1);
// UTF-16 code units (big- or little-endian) as UTF-8; unpaired surrogates and
// a lone last byte become U+FFFD.
std::string Utf16ToUtf8(const unsigned char *data, size_t size, bool bigEndian);

} // namespace tool

#endif
