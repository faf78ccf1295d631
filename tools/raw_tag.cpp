// Two calls: a size query with a null buffer pointer, then the copy into a
// malloc block. The library releases that block with free when the copy fails
// (and says so by nulling the pointer), so it must come from malloc.
#include "raw_tag.h"

#include <cstdlib>

namespace tool {

long FetchTag(CTagmill &tag, std::vector<unsigned char> &bytes, unsigned long long available) {
    bytes.clear();
    unsigned long size = 0;
    long hr = tag.GetId3TagFrame(nullptr, &size);
    if (hr != tagmill::S_OK) return hr;
    // The copy stops at the content's end (a tag that claims more comes back
    // with the bytes there are), so a buffer longer than the content is never
    // needed, whatever the header claims.
    if (size > available) size = static_cast<unsigned long>(available);
    unsigned char *buffer = static_cast<unsigned char *>(std::malloc(size ? size : 1));
    if (!buffer) return tagmill::E_OUTOFMEMORY;
    hr = tag.GetId3TagFrame(&buffer, &size);
    if (hr == tagmill::S_OK && buffer) bytes.assign(buffer, buffer + size);
    std::free(buffer); // null when the library has released it already
    return hr;
}

} // namespace tool
