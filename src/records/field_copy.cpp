// Replacing a record's byte array with a copy of the caller's bytes.
#include "records/field_copy.h"

#include <cstring>

namespace tagmill {
namespace records {

long ReplaceWithCopy(std::unique_ptr<unsigned char[]> &bytes, long &size, const unsigned char *data, long count) {
    if (data == nullptr) return E_POINTER;
    if (count < 0) return E_INVALIDARG;
    size = 0;
    if (count == 0) {
        bytes.reset();
        return S_OK;
    }
    unsigned char *copy = new (std::nothrow) unsigned char[static_cast<size_t>(count)];
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
