// Reads and writes at a position in a caller's heap block, the I/O of
// contents that live in memory. Writes past the capacity grow the block to
// exactly the size needed.
#include <climits>
#include <cstring>

#include "tagmill/platform.h"

int32_t tav_read_from_memory(const uint8_t *block, uint32_t data_length, uint32_t *position,
                             void *destination, uint32_t count) {
    if (!block || !position || !destination) return -1;
    uint32_t left = *position < data_length ? data_length - *position : 0;
    uint32_t n = count < left ? count : left;
    if (n > INT32_MAX) n = INT32_MAX;
    std::memcpy(destination, block + *position, n);
    *position += n;
    return static_cast<int32_t>(n);
}

int32_t tav_write_to_memory(uint8_t **block, uint32_t *capacity, uint32_t *position,
                            const void *source, uint32_t count) {
    if (!block || !capacity || !position || !source) return -1;
    if (count > INT32_MAX || *position > UINT32_MAX - count) return -1;
    uint32_t end = *position + count;
    if (end > *capacity) {
        void *grown = tav_realloc(*block, end);
        if (!grown) return -1;
        *block = static_cast<uint8_t *>(grown);
        *capacity = end;
    }
    std::memcpy(*block + *position, source, count);
    *position = end;
    return static_cast<int32_t>(count);
}
