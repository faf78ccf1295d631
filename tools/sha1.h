// SHA-1 digests, used to tell embedded pictures apart at a glance (`show`
// prints the first hex digits of each picture's digest).
#ifndef TAGMILL_TOOLS_SHA1_H
#define TAGMILL_TOOLS_SHA1_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tool {

using Sha1Digest = std::array<uint8_t, 20>;

Sha1Digest Sha1(const unsigned char *data, size_t size);

// Lower-case hex of the digest, 40 characters.
std::string Sha1Hex(const unsigned char *data, size_t size);

} // namespace tool

#endif
