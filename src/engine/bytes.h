// Integer codings of the ID3 formats: big-endian 24/32-bit numbers, syncsafe
// integers (7 bits per byte, top bit ignored on reading) and packed frame IDs.
#ifndef TAGMILL_ENGINE_BYTES_H
#define TAGMILL_ENGINE_BYTES_H

#include <cstdint>

inline uint32_t tav_be32(const uint8_t *b) {
    return (uint32_t)b[0] << 24 | (uint32_t)b[1] << 16 | (uint32_t)b[2] << 8 | b[3];
}
inline uint32_t tav_be24(const uint8_t *b) { return (uint32_t)b[0] << 16 | (uint32_t)b[1] << 8 | b[2]; }
inline void tav_put_be32(uint8_t *b, uint32_t v) {
    b[0] = (uint8_t)(v >> 24); b[1] = (uint8_t)(v >> 16); b[2] = (uint8_t)(v >> 8); b[3] = (uint8_t)v;
}
inline void tav_put_be24(uint8_t *b, uint32_t v) {
    b[0] = (uint8_t)(v >> 16); b[1] = (uint8_t)(v >> 8); b[2] = (uint8_t)v;
}
inline uint32_t tav_syncsafe_decode(const uint8_t *b) {
    return (uint32_t)(b[0] & 0x7F) << 21 | (uint32_t)(b[1] & 0x7F) << 14 | (uint32_t)(b[2] & 0x7F) << 7 |
           (uint32_t)(b[3] & 0x7F);
}
inline void tav_syncsafe_encode(uint8_t *b, uint32_t v) {
    b[0] = (uint8_t)((v >> 21) & 0x7F); b[1] = (uint8_t)((v >> 14) & 0x7F);
    b[2] = (uint8_t)((v >> 7) & 0x7F);  b[3] = (uint8_t)(v & 0x7F);
}

#endif
