// The text encoding bytes that open ID3v2 payloads with text in them.
#ifndef TAGMILL_RECORDS_ENCODINGS_H
#define TAGMILL_RECORDS_ENCODINGS_H

namespace tagmill {
namespace records {

constexpr unsigned char kLatin1 = 0;    // ISO-8859-1, one zero byte ends a string
constexpr unsigned char kUtf16Bom = 1;  // UTF-16 with a byte order mark, zero pair ends it
constexpr unsigned char kUtf16Be = 2;   // UTF-16 big-endian, zero pair
constexpr unsigned char kUtf8 = 3;      // UTF-8, one zero byte

} // namespace records
} // namespace tagmill

#endif
