// Helpers of the record tests: byte strings, and ownership of the task
// allocator blocks that the records hand out.
#ifndef TAGMILL_TEST_RECORD_TEST_UTIL_H
#define TAGMILL_TEST_RECORD_TEST_UTIL_H

#include "support/test_support.h"
#include "tagmill/task_memory.h"

namespace recordtest {

using testsupport::Bytes;

// Distinct non-zero-leading bytes, so that a shifted copy shows.
inline Bytes Counting(size_t count) {
    Bytes out(count);
    for (size_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(i * 7 + 1);
    return out;
}

// Receives a block from GetData/GetFrameData and frees it with CoTaskMemFree.
struct TaskBlock {
    unsigned char *block = nullptr;
    long size = -1;
    ~TaskBlock() { CoTaskMemFree(block); }
    Bytes bytes() const { return block ? Bytes(block, block + size) : Bytes(); }
};

} // namespace recordtest

#endif
