// Replacing a record's byte array with a copy of the caller's bytes.
#include "records/field_copy.h"

#include <cstring>

namespace tagmill {
namespace records {

long ReplaceWithCopy(std::unique_ptr<unsigned char[]> &bytes, long &size, const unsigned char *data, long count) {
    if (data == nullptr) return E_POINTER;
    size = 0;
    if (count == 0) {
        bytes.reset();
        return S_OK;
    }
    // No allocation can meet a negative count: it fails like one too large.
    unsigned char *copy = count < 0 ? nullptr : new (std::nothrow) unsigned char[static_cast<size_t>(count)];
    if (copy == nullptr) {
        bytes.reset();
        return E_OUTOFMEMORY;
    }
    std::memcpy(copy, data, static_cast<size_t>(count));
    bytes.reset(copy);
    size = count;
    return S_OK;
}

} // namespace records
} // namespace tagmill
