// The raw bytes of an open content's ID3v2 tag (header, extended header,
// frames and padding; not a footer), as last committed.
#ifndef TAGMILL_TOOLS_RAW_TAG_H
#define TAGMILL_TOOLS_RAW_TAG_H

#include <vector>

#include <tagmill/tagmill.h>

namespace tool {

// S_OK with the bytes; S_FALSE (bytes empty) when the content has no ID3v2
// tag; the library's failure otherwise. A tag whose header claims more than
// the content holds gives the bytes that are there; `available` (the
// content's length) bounds the buffer reserved for them.
long FetchTag(CTagmill &tag, std::vector<unsigned char> &bytes,
              unsigned long long available = ~0ULL);

} // namespace tool

#endif
