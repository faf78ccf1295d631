// 32-bit conversions between host order and the big-endian order of every
// multi-byte integer in the ID3 formats.
#include <arpa/inet.h>

#include "tagmill/platform.h"

uint32_t tav_htonl(uint32_t value) { return htonl(value); }

uint32_t tav_ntohl(uint32_t value) { return ntohl(value); }
