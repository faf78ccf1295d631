// Copies into and out of the records' fields: a byte array replaced by a copy
// of the caller's bytes, and strings copied with an allocation failure
// reported as E_OUTOFMEMORY rather than thrown.
#ifndef TAGMILL_RECORDS_FIELD_COPY_H
#define TAGMILL_RECORDS_FIELD_COPY_H

#include <memory>
#include <new>

#include "tagmill/result.h"

namespace tagmill {
namespace records {

// Replaces bytes (holding `size` bytes) with a copy of the `count` bytes at
// data, which may point into the old array: the old one is released only once
// the copy is made. E_POINTER for null data leaves both unchanged;
// E_OUTOFMEMORY (also for a negative count) leaves no bytes and size 0. A
// count of 0 leaves no array at all.
long ReplaceWithCopy(std::unique_ptr<unsigned char[]> &bytes, long &size, const unsigned char *data, long count);

// to = from; S_OK, or E_OUTOFMEMORY when the copy cannot be allocated.
template <class T>
long CopyField(T &to, const T &from) {
    try {
        to = from;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

} // namespace records
} // namespace tagmill

#endif
