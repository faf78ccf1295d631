// Task allocator for blocks that cross the library's interface: record
// payloads and identifiers handed out by the record classes are allocated with
// CoTaskMemAlloc, and whoever receives one releases it with CoTaskMemFree.
#ifndef TAGMILL_TASK_MEMORY_H
#define TAGMILL_TASK_MEMORY_H

#include <cstddef>

void *CoTaskMemAlloc(size_t size);
void CoTaskMemFree(void *block);

#endif
