// Blocks handed to callers: copies of record bytes in memory from the task
// allocator, which the receiver releases with CoTaskMemFree.
#ifndef TAGMILL_RECORDS_TASK_BLOCK_H
#define TAGMILL_RECORDS_TASK_BLOCK_H

#include <cstddef>

namespace tagmill {
namespace records {

// A block of at least `size` bytes (an empty hand-out is still a real block
// the receiver can free), all zero; null when memory runs out.
unsigned char *AllocateTaskBlock(size_t size);

// Copies size bytes into a new task block; E_OUTOFMEMORY or S_OK.
long HandOutCopy(const unsigned char *bytes, size_t size, unsigned char **block);

} // namespace records
} // namespace tagmill

#endif
