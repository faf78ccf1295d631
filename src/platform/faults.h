// Fault injection behind tav_set_fault_hook: each primitive asks tav_fault()
// just before it would touch the system or the heap, and fails as if the
// system had refused when the calling thread's hook says so.
#ifndef TAGMILL_PLATFORM_FAULTS_H
#define TAGMILL_PLATFORM_FAULTS_H

#include "tagmill/platform.h"

// True when the calling thread's hook asks for op to fail.
bool tav_fault(tav_op op);

// True while the calling thread has a hook installed. Code that would serve a
// request without the primitives (a cache) takes the plain road then, so that
// every failure a test arms still happens where it would without the cache.
bool tav_fault_armed();

#endif
