// Task-allocator blocks handed out by the records' GetData and GetFrameData.
#include "records/task_block.h"

#include <cstring>

#include "tagmill/result.h"
#include "tagmill/task_memory.h"

namespace tagmill {
namespace records {

unsigned char *AllocateTaskBlock(size_t size) {
    void *block = CoTaskMemAlloc(size > 0 ? size : 1);
    if (block != nullptr) std::memset(block, 0, size > 0 ? size : 1);
    return static_cast<unsigned char *>(block);
}

long HandOutCopy(const unsigned char *bytes, size_t size, unsigned char **block) {
    unsigned char *copy = AllocateTaskBlock(size);
    if (copy == nullptr) return E_OUTOFMEMORY;
    if (size > 0) std::memcpy(copy, bytes, size);
    *block = copy;
    return S_OK;
}

} // namespace records
} // namespace tagmill
