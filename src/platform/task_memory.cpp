// The task allocator of the record classes: blocks that the library hands out
// through it (record payloads, identifiers) belong to the receiver, who frees
// them with CoTaskMemFree.
#include "tagmill/task_memory.h"

#include <cstdlib>

void *CoTaskMemAlloc(size_t size) { return std::malloc(size ? size : 1); }

void CoTaskMemFree(void *block) { std::free(block); }
