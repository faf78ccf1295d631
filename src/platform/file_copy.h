// Whole-file copies between descriptors and flushing to stable storage, the
// building blocks of the file move. Both consult the fault hook, so tests can
// fail every step of a move in turn.
#ifndef TAGMILL_PLATFORM_FILE_COPY_H
#define TAGMILL_PLATFORM_FILE_COPY_H

#include <sys/types.h>

// Copies every byte of the file behind `from` (from its offset 0, whatever its
// file pointer) to `to` starting at offset 0, and sets *copied to the count.
// The kernel copies when it can (no trip through user memory); otherwise a
// read/write loop does. Each piece is a read and a write fault point. False
// on any failure, including a copy shorter than the source; `to` may then
// hold part of the data.
bool tav_copy_descriptor(int from, int to, off_t *copied);

// fdatasync(2): a descriptor's data and size made durable; a fault point
// (TAV_OP_FSYNC).
// True at once while the calling thread has flushes turned off.
bool tav_flush_descriptor(int fd);

// Makes a finished rename in `directory` durable. Best effort: the rename has
// happened whatever this reports, so there is no result.
void tav_flush_directory(const char *directory);

#endif
