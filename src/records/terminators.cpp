// Terminator scans of the payload parsers: aligned (pictures, user-defined
// strings) and byte-by-byte (encapsulated objects).
#include "records/terminators.h"

namespace tagmill {
namespace records {

namespace {

bool AllZero(const unsigned char *data, size_t size, size_t offset, size_t width) {
    if (offset > size || width > size - offset) return false;
    for (size_t i = 0; i < width; ++i) {
        if (data[offset + i] != 0) return false;
    }
    return true;
}

} // namespace

size_t FindZeroByte(const unsigned char *data, size_t size, size_t from) {
    for (size_t i = from; i < size; ++i) {
        if (data[i] == 0) return i;
    }
    return kNoTerminator;
}

size_t FindAlignedTerminator(const unsigned char *data, size_t size, size_t start, size_t width) {
    if (width == 0) return kNoTerminator;
    for (size_t offset = start; offset <= size && width <= size - offset; offset += width) {
        if (AllZero(data, size, offset, width)) return offset;
    }
    return kNoTerminator;
}

size_t FindUnalignedTerminator(const unsigned char *data, size_t size, size_t start, size_t width) {
    if (width == 0 || start >= size) return kNoTerminator;
    if (AllZero(data, size, start, width)) return start;
    // Positions after the start are examined only while they lie before the
    // payload's last byte (one-byte terminator) or second-to-last byte (pair).
    for (size_t offset = start + 1; offset + width < size; ++offset) {
        if (AllZero(data, size, offset, width)) return offset;
    }
    return kNoTerminator;
}

} // namespace records
} // namespace tagmill
