// The per-thread flush switch and flush observer that both platform layers
// share: no OS is involved, only the calling thread's settings.
#ifndef TAGMILL_PLATFORM_FLUSH_SWITCH_H
#define TAGMILL_PLATFORM_FLUSH_SWITCH_H

#include <cstdint>

// Tells the calling thread's flush observer that a flush succeeded (handle -1
// for a directory, -2 for whole file systems: everything written so far).
void tav_flushed(int32_t handle);

#endif
