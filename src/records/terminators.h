// Terminator scans shared by the payload parsers. ID3v2 ends a string field
// with one zero byte (ISO-8859-1, UTF-8) or a zero pair (UTF-16); the scans
// differ in how they step and how far they may look, so each has its own name.
#ifndef TAGMILL_RECORDS_TERMINATORS_H
#define TAGMILL_RECORDS_TERMINATORS_H

#include <cstddef>

namespace tagmill {
namespace records {

constexpr size_t kNoTerminator = static_cast<size_t>(-1);

// Offset of the first zero byte in [from, size), or kNoTerminator.
size_t FindZeroByte(const unsigned char *data, size_t size, size_t from);

// Steps through data[start..size) in strides of `width` (1 or 2) and returns
// the first offset whose `width` bytes all lie inside and are all zero, or
// kNoTerminator. A UTF-16 field therefore ends only at an even distance from
// its own start, never at a zero pair that straddles two characters.
size_t FindAlignedTerminator(const unsigned char *data, size_t size, size_t start, size_t width);

// Byte-by-byte search used for object descriptions: the start is always
// examined; later positions only while they lie before the last `width`
// bytes of the data. A terminator is never looked for past the end, so a
// non-empty description must be followed by at least one more byte.
size_t FindUnalignedTerminator(const unsigned char *data, size_t size, size_t start, size_t width);

} // namespace records
} // namespace tagmill

#endif
