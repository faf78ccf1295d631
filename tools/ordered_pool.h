// Computes results for items 0..count-1 on a few worker threads and hands them
// to the caller's thread strictly in item order, as soon as each next one is
// ready. Workers take items in order from a shared counter; results finished
// ahead of the next one to hand out wait in memory until their turn.
#ifndef TAGMILL_TOOLS_ORDERED_POOL_H
#define TAGMILL_TOOLS_ORDERED_POOL_H

#include <cstddef>
#include <functional>

#include "batch.h"

namespace tool {

// compute runs on the workers (with workers <= 1, on the calling thread);
// deliver and tick run on the calling thread: deliver once per item in order,
// tick about ten times a second while waiting (for progress display).
void RunOrdered(size_t count, unsigned workers, const std::function<FileResult(size_t)> &compute,
                const std::function<void(size_t, FileResult &)> &deliver, const std::function<void()> &tick);

} // namespace tool

#endif
