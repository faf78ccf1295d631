// Descriptor helpers shared by the file primitives: a close-on-exec open that
// never hands out descriptor 0 (the primitives treat handle 0 as no file).
#ifndef TAGMILL_PLATFORM_DESCRIPTORS_H
#define TAGMILL_PLATFORM_DESCRIPTORS_H

#include <sys/types.h>

#include <string>

// open(2) of a UTF-8 path with O_CLOEXEC added, retried when interrupted.
// Returns the descriptor (never 0) or -1 with errno set.
int tav_open_descriptor(const std::string &path, int oflags, mode_t mode);

#endif
