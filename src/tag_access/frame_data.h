// Reading one frame's data into a buffer of the class layer. The buffer is
// sized by the frame header, but a size field is never trusted beyond the
// bytes the content actually holds.
#ifndef TAGMILL_TAG_ACCESS_FRAME_DATA_H
#define TAGMILL_TAG_ACCESS_FRAME_DATA_H

#include <cstdint>
#include <vector>

#include "tagmill/engine.h"

namespace tagmill {
namespace framedata {

// Reads the header and data of the index-th frame with frameId. A frame whose
// size exceeds the length of the whole content cannot be read in full (the
// read would come up short), so it fails at once instead of first allocating
// the size its header claims: a damaged or hostile size field costs no more
// memory than the content itself. `header` receives the frame's header record
// and `size` the bytes delivered; the payload holds them but never less than
// one byte, so that its data pointer is valid even for an empty frame. The
// outputs are left alone on failure.
//   S_OK; E_FAIL on an engine failure or an impossible size; E_OUTOFMEMORY.
long Read(tav_id3_context *context, uint32_t frameId, uint32_t index, tav_id3_v2_frame_header &header,
          std::vector<unsigned char> &payload, uint32_t &size);

} // namespace framedata
} // namespace tagmill

#endif
