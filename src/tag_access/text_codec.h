// Text conversions of the class layer: the single-byte character set (the
// ANSI code page: ISO-8859-1 on Linux, where byte n is U+00nn and anything
// above U+00FF narrows to '?'; the thread's code page on Windows), UTF-16 with
// surrogate pairs, and UTF-8. Decoders never throw: malformed input becomes
// U+FFFD.
#ifndef TAGMILL_TAG_ACCESS_TEXT_CODEC_H
#define TAGMILL_TAG_ACCESS_TEXT_CODEC_H

#include <cstddef>
#include <string>
#include <vector>

namespace tagmill {
namespace text {

// Wide to single-byte ("narrow conversion"). Stops at the first U+0000.
std::string ToLatin1(const std::wstring &text);
// Single-byte to wide ("wide conversion") of the bytes up to the first zero
// byte or the end, whichever comes first.
std::wstring FromLatin1(const char *bytes, size_t size);
// Appends the UTF-16 little-endian code units of text (surrogate pairs above
// U+FFFF; invalid code points as U+FFFD). No mark, no terminator.
void AppendUtf16Le(std::vector<unsigned char> &out, const std::wstring &text);
// Number of UTF-16 code units that text takes.
size_t Utf16Length(const std::wstring &text);
// Decodes UTF-16 code units in the given byte order up to the first 0x0000
// unit or the end; an odd trailing byte is ignored.
std::wstring DecodeUtf16(const unsigned char *data, size_t size, bool bigEndian);
// Decodes UTF-8 up to the first zero byte or the end.
std::wstring DecodeUtf8(const unsigned char *data, size_t size);
// Encodes code points as UTF-8 (for the tool, JSON and file names).
std::string ToUtf8(const std::wstring &text);

} // namespace text
} // namespace tagmill

#endif
