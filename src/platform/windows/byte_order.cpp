// 32-bit conversions between host order and the big-endian order of every
// multi-byte integer in the ID3 formats. Windows runs little-endian on every
// processor it supports, so both directions are a byte swap.
#include <stdlib.h>

#include "tagmill/platform.h"

uint32_t tav_htonl(uint32_t value) { return _byteswap_ulong(value); }

uint32_t tav_ntohl(uint32_t value) { return _byteswap_ulong(value); }
