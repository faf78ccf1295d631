// The TagLib side of the interoperability matrix: a second library reading
// and writing the same properties, through its format-neutral property map
// where it has one and through its frame classes elsewhere.
#ifndef TAGMILL_INTEROP_TAGLIB_PEER_H
#define TAGMILL_INTEROP_TAGLIB_PEER_H

#include "peer_io.h"

namespace interop {

json TaglibRead(const json &job);
void TaglibWrite(const json &job);

} // namespace interop

#endif
