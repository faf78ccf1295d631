// The tagmill side of the interoperability matrix: reading every property the
// matrix compares, and writing one property, through the CTagmill class.
#ifndef TAGMILL_INTEROP_TAGMILL_PEER_H
#define TAGMILL_INTEROP_TAGMILL_PEER_H

#include "peer_io.h"

namespace interop {

// Property identifiers of the string fields the matrix uses.
constexpr long kTitle = 4615, kArtist = 4624, kAlbum = 4620, kTrack = 4357, kDisc = 288,
               kGenre = 4616, kArtistUrl = 4646, kDate = 5120, kPicture = 4640,
               kObject = 5894, kExtData = 4717, kEncoderDelay = 9233;

json TagmillRead(const json &job);
void TagmillWrite(const json &job);

} // namespace interop

#endif
