// The version compiled into the library, for programs that want to tell which
// library they run with.
#include "tagmill/version.h"

const char *tagmill_version() { return TAGMILL_VERSION; }
