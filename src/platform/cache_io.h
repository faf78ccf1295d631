// Positional file primitives for the engine's read cache: the size of an open
// file, its current offset, setting that offset back, and a read at an offset
// that leaves the file pointer alone. They let the engine serve many small
// reads from a few large ones without changing what the pointer-based
// primitives observe.
#ifndef TAGMILL_PLATFORM_CACHE_IO_H
#define TAGMILL_PLATFORM_CACHE_IO_H

#include <cstdint>

// Size of the open file in bytes, or -1 (also for a file of 0xFFFFFFFF bytes
// or more, which the 32-bit formats cannot address).
int64_t tav_file_size_of(int32_t handle);

// The file pointer's offset, or -1. Not a fault point.
int64_t tav_file_tell(int32_t handle);

// Puts the file pointer at offset (no clamping, no growth); 0 or -1. Not a
// fault point: it only restores a position that the caller already reached,
// so it must not count as one of the operations a test hook fails in turn.
int32_t tav_file_set_position(int32_t handle, int64_t offset);

// Reads up to count bytes at offset without moving the file pointer; the
// number read (0 at the end of the file) or -1. A read fault point.
int32_t tav_pread(int32_t handle, void *buffer, uint32_t count, int64_t offset);

#endif
